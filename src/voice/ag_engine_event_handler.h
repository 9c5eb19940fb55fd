// The voice engine's event handler. It runs on the engine's threads and does no work there: each
// event it uses is copied into a heap record and posted to the receiver window, whose thread
// handles and frees it (CVoiceChannel::HandleEngineEvent).
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <unordered_set>

#include "IAgoraRtcEngine.h"

class CAGEngineEventHandler : public agora::rtc::IRtcEngineEventHandler {
 public:
  // None until the first join the engine accepts; then the voice window.
  void SetReceiver(HWND receiver) { m_receiver.store(receiver); }
  HWND GetReceiver() const { return m_receiver.load(); }

  // The receiving thread takes ownership of a posted record here. Only records this handler
  // posted and that were not taken yet are given out, so a forged or repeated message with a
  // stray address is refused instead of freeing memory that is not a record.
  bool ClaimRecord(const void* record);

  // IRtcEngineEventHandler, in the interface's order.
  void onError(int err, const char* msg) override;
  void onJoinChannelSuccess(const char* channel, agora::rtc::uid_t uid, int elapsed) override;
  void onRejoinChannelSuccess(const char* channel, agora::rtc::uid_t uid, int elapsed) override;
  void onUserOffline(agora::rtc::uid_t uid, agora::rtc::USER_OFFLINE_REASON_TYPE reason) override;
  void onFirstLocalVideoFrame(int width, int height, int elapsed) override;
  void onFirstRemoteVideoDecoded(agora::rtc::uid_t uid,
                                 int width,
                                 int height,
                                 int elapsed) override;
  void onStreamPublished(const char* url, int error) override;
  void onStreamUnpublished(const char* url) override;
  void onTranscodingUpdated() override;

 private:
  // Posts the record's address; false (and the record is not registered) when posting failed.
  bool Post(HWND receiver, UINT message, void* record);

  std::atomic<HWND> m_receiver{nullptr};
  std::mutex m_lock;  // guards m_outstanding
  std::unordered_set<const void*> m_outstanding;
};

// The process-wide handler the engine is initialised with.
CAGEngineEventHandler& GetEngineEventHandler();

// A heap copy (new[]) of a NUL-terminated text, or none for none.
char* CopyEventText(const char* text);
