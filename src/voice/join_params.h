// The join request the main window hands to the voice window: built on the heap from the
// bridge's join text, passed by address, freed by the main window after JoinChannel returns.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>

#include "bridge/common/bridge_messages.h"
#include "bridge/common/join_text.h"

struct JoinParams {
  int32_t cid = 0;  // channel number; the channel name is its decimal text
  int32_t uid = 0;  // passed to the engine unchanged
  char reserved[512] = {};
  std::string key;  // channel key (token) from the page, UTF-8, possibly empty
};

// Result codes of CVCastWnd::JoinChannel.
constexpr int kJoinAccepted = 0;
constexpr int kJoinNoMicrophone = 1;
constexpr int kJoinRefused = 2;
// No request could be made: kJoinResultUnavailable, the value the page hears for "no result".

// The block for a parsed join request text (cid, uid, key as the page gave them).
std::unique_ptr<JoinParams> MakeJoinParams(const JoinTextFields& fields);
