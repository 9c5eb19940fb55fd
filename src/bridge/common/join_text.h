// The join request text "cid@uid@channelKey" that the renderer sends to the main window.
#pragma once

#include <cstddef>
#include <string>

struct JoinTextFields {
  int cid = 0;
  int uid = 0;
  std::string channelKeyUtf8;
};

// cid and uid in decimal (leading "-" when negative), the key as given.
std::wstring FormatJoinText(int cid, int uid, const std::wstring& channelKey);

// Splits at every "@", skipping empty pieces: piece 1 is cid, piece 2 uid (each the leading
// number, 0 without one), piece 3 the key; later pieces are ignored. Reads at most maxUnits
// code units of text and stops early at a terminator, so a text without one is still safe.
JoinTextFields ParseJoinText(const wchar_t* text, size_t maxUnits);
