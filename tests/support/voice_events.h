// Records the voice engine's events as text lines ("join 12345 uid=7 ...") for tests, and lets a
// test wait until a line of interest has arrived. Events come from the engine's threads.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "IAgoraRtcEngine.h"

namespace zarvik_test {

class RecordingEventHandler : public agora::rtc::IRtcEngineEventHandler {
 public:
  // The first recorded line that starts with prefix, waiting up to timeoutMs for it; empty
  // when none came. Waiting is bounded only so that a broken engine cannot hang the test.
  std::string WaitFor(const std::string& prefix, unsigned timeoutMs = 20000);
  bool Has(const std::string& prefix);
  std::vector<std::string> Lines();
  void Clear();

  void onError(int err, const char* msg) override;
  void onJoinChannelSuccess(const char* channel, agora::rtc::uid_t uid, int elapsed) override;
  void onRejoinChannelSuccess(const char* channel, agora::rtc::uid_t uid, int elapsed) override;
  void onLeaveChannel(const agora::rtc::RtcStats& stats) override;
  void onClientRoleChanged(agora::rtc::CLIENT_ROLE_TYPE oldRole,
                           agora::rtc::CLIENT_ROLE_TYPE newRole) override;
  void onUserJoined(agora::rtc::uid_t uid, int elapsed) override;
  void onUserOffline(agora::rtc::uid_t uid, agora::rtc::USER_OFFLINE_REASON_TYPE reason) override;
  void onConnectionInterrupted() override;
  void onConnectionLost() override;
  void onFirstLocalVideoFrame(int width, int height, int elapsed) override;
  void onFirstRemoteVideoDecoded(agora::rtc::uid_t uid,
                                 int width,
                                 int height,
                                 int elapsed) override;
  void onStreamPublished(const char* url, int error) override;
  void onStreamUnpublished(const char* url) override;
  void onTranscodingUpdated() override;

 private:
  void Add(const std::string& line);
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::vector<std::string> m_lines;
};

}  // namespace zarvik_test
