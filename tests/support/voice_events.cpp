#include "support/voice_events.h"

#include <chrono>

namespace zarvik_test {

using agora::rtc::uid_t;

void RecordingEventHandler::Add(const std::string& line) {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_lines.push_back(line);
  }
  m_changed.notify_all();
}

std::string RecordingEventHandler::WaitFor(const std::string& prefix, unsigned timeoutMs) {
  std::unique_lock<std::mutex> guard(m_lock);
  std::string found;
  m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
    for (auto& line : m_lines) {
      if (line.compare(0, prefix.size(), prefix) == 0) {
        found = line;
        return true;
      }
    }
    return false;
  });
  return found;
}

bool RecordingEventHandler::Has(const std::string& prefix) {
  std::lock_guard<std::mutex> guard(m_lock);
  for (auto& line : m_lines) {
    if (line.compare(0, prefix.size(), prefix) == 0)
      return true;
  }
  return false;
}

std::vector<std::string> RecordingEventHandler::Lines() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_lines;
}

void RecordingEventHandler::Clear() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_lines.clear();
}

void RecordingEventHandler::onError(int err, const char* msg) {
  Add("error " + std::to_string(err) + " " + (msg ? msg : "(none)"));
}
void RecordingEventHandler::onJoinChannelSuccess(const char* channel, uid_t uid, int elapsed) {
  Add("join " + std::string(channel) + " uid=" + std::to_string(uid) +
      (elapsed >= 0 ? " elapsed-ok" : " elapsed-negative"));
}
void RecordingEventHandler::onRejoinChannelSuccess(const char* channel, uid_t uid, int elapsed) {
  (void)elapsed;
  Add("rejoin " + std::string(channel) + " uid=" + std::to_string(uid));
}
void RecordingEventHandler::onLeaveChannel(const agora::rtc::RtcStats& stats) {
  (void)stats;
  Add("leave");
}
void RecordingEventHandler::onClientRoleChanged(agora::rtc::CLIENT_ROLE_TYPE oldRole,
                                                agora::rtc::CLIENT_ROLE_TYPE newRole) {
  Add("role " + std::to_string(oldRole) + "->" + std::to_string(newRole));
}
void RecordingEventHandler::onUserJoined(uid_t uid, int elapsed) {
  (void)elapsed;
  Add("user-joined " + std::to_string(uid));
}
void RecordingEventHandler::onUserOffline(uid_t uid, agora::rtc::USER_OFFLINE_REASON_TYPE reason) {
  Add("user-offline " + std::to_string(uid) + " reason=" + std::to_string(reason));
}
void RecordingEventHandler::onConnectionInterrupted() {
  Add("interrupted");
}
void RecordingEventHandler::onConnectionLost() {
  Add("lost");
}
void RecordingEventHandler::onFirstLocalVideoFrame(int width, int height, int elapsed) {
  (void)elapsed;
  Add("first-local " + std::to_string(width) + "x" + std::to_string(height));
}
void RecordingEventHandler::onFirstRemoteVideoDecoded(uid_t uid,
                                                      int width,
                                                      int height,
                                                      int elapsed) {
  (void)elapsed;
  Add("first-remote " + std::to_string(uid) + " " + std::to_string(width) + "x" +
      std::to_string(height));
}
void RecordingEventHandler::onStreamPublished(const char* url, int error) {
  Add("published " + std::string(url) + " " + std::to_string(error));
}
void RecordingEventHandler::onStreamUnpublished(const char* url) {
  Add("unpublished " + std::string(url));
}
void RecordingEventHandler::onTranscodingUpdated() {
  Add("transcoding");
}

}  // namespace zarvik_test
