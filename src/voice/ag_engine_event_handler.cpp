#include "voice/ag_engine_event_handler.h"

#include <string.h>

#include <new>

#include "voice/voice_messages.h"

CAGEngineEventHandler& GetEngineEventHandler() {
  static CAGEngineEventHandler handler;
  return handler;
}

char* CopyEventText(const char* text) {
  if (!text)
    return nullptr;
  size_t n = strlen(text) + 1;
  char* copy = new (std::nothrow) char[n];
  if (copy)
    memcpy(copy, text, n);
  return copy;
}

bool CAGEngineEventHandler::ClaimRecord(const void* record) {
  if (!record)
    return false;
  std::lock_guard<std::mutex> guard(m_lock);
  return m_outstanding.erase(record) == 1;
}

bool CAGEngineEventHandler::Post(HWND receiver, UINT message, void* record) {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (record)
      m_outstanding.insert(record);
  }
  if (PostMessageW(receiver, message, reinterpret_cast<WPARAM>(record), 0))
    return true;
  std::lock_guard<std::mutex> guard(m_lock);
  if (record)
    m_outstanding.erase(record);
  return false;
}

// Engine threads from here on: copy, post, and free the copy ourselves only if posting failed.

void CAGEngineEventHandler::onError(int err, const char* msg) {
  HWND receiver = GetReceiver();
  if (!receiver)
    return;
  auto* record = new (std::nothrow) ErrorEventRecord{err, CopyEventText(msg)};
  if (record && !Post(receiver, EID_ERROR, record)) {
    delete[] record->message;
    delete record;
  }
}

void CAGEngineEventHandler::onJoinChannelSuccess(const char* channel,
                                                 agora::rtc::uid_t uid,
                                                 int elapsed) {
  HWND receiver = GetReceiver();
  if (!receiver)
    return;
  auto* record = new (std::nothrow) JoinEventRecord{CopyEventText(channel), uid, elapsed};
  if (record && !Post(receiver, EID_JOINCHANNEL_SUCCESS, record)) {
    delete[] record->channel;
    delete record;
  }
}

void CAGEngineEventHandler::onRejoinChannelSuccess(const char* channel,
                                                   agora::rtc::uid_t uid,
                                                   int elapsed) {
  HWND receiver = GetReceiver();
  if (!receiver)
    return;
  auto* record = new (std::nothrow) JoinEventRecord{CopyEventText(channel), uid, elapsed};
  if (record && !Post(receiver, EID_REJOINCHANNEL_SUCCESS, record)) {
    delete[] record->channel;
    delete record;
  }
}

void CAGEngineEventHandler::onUserOffline(agora::rtc::uid_t uid,
                                          agora::rtc::USER_OFFLINE_REASON_TYPE reason) {
  HWND receiver = GetReceiver();
  if (!receiver)
    return;
  auto* record = new (std::nothrow) UserOfflineRecord{uid, static_cast<uint32_t>(reason)};
  if (record && !Post(receiver, EID_USER_OFFLINE, record))
    delete record;
}

void CAGEngineEventHandler::onFirstLocalVideoFrame(int width, int height, int elapsed) {
  HWND receiver = GetReceiver();
  if (!receiver)
    return;
  auto* record = new (std::nothrow) LocalFrameRecord{width, height, elapsed};
  if (record && !Post(receiver, EID_FIRST_LOCAL_VIDEO_FRAME, record))
    delete record;
}

void CAGEngineEventHandler::onFirstRemoteVideoDecoded(agora::rtc::uid_t uid,
                                                      int width,
                                                      int height,
                                                      int elapsed) {
  HWND receiver = GetReceiver();
  if (!receiver)
    return;
  auto* record = new (std::nothrow) RemoteFrameRecord{uid, width, height, elapsed};
  if (record && !Post(receiver, EID_FIRST_REMOTE_VIDEO_DECODED, record))
    delete record;
}

void CAGEngineEventHandler::onStreamPublished(const char* url, int error) {
  (void)error;  // not passed on
  HWND receiver = GetReceiver();
  if (!receiver)
    return;
  char* copy = CopyEventText(url ? url : "");
  if (copy && !Post(receiver, EID_STREAM_PUBLISHED, copy))
    delete[] copy;
}

void CAGEngineEventHandler::onStreamUnpublished(const char* url) {
  HWND receiver = GetReceiver();
  if (!receiver)
    return;
  char* copy = CopyEventText(url ? url : "");
  if (copy && !Post(receiver, EID_STREAM_UNPUBLISHED, copy))
    delete[] copy;
}

void CAGEngineEventHandler::onTranscodingUpdated() {
  HWND receiver = GetReceiver();
  if (receiver)
    Post(receiver, EID_LIVE_TRANSCODING, nullptr);
}
