// A channel session: one accepted join and its connection to the channel server. The API object
// starts and ends it (rtc_engine.cpp), the channel client serves its connection on the network
// thread (channel_client.cpp) and the video thread sends its local frames (rtc_video.cpp).
#pragma once

#include "audio_codec.h"
#include "jitter_buffer.h"
#include "rtc_engine.h"

namespace agora_standin {

// One accepted join: lives until leaveChannel (or until the server refuses it).
struct RtcEngine::Session {
  unsigned id = 0;
  std::string channel;
  std::string token;
  agora::rtc::uid_t requestedUid = 0;
  std::atomic<agora::rtc::uid_t> uid{0};
  DWORD startTick = 0;
  std::atomic<bool> stop{false};
  std::atomic<bool> joined{false};
  bool ended = false;  // refused by the server; guarded by the engine's lock
  // The connection's handle: set, shut down and closed under handleLock. Sends hold sendLock,
  // which closing also takes, so no send runs on a closed handle; shutting down needs only
  // handleLock, so it can end a send that is stuck.
  std::mutex handleLock;
  std::mutex sendLock;
  SOCKET socket = INVALID_SOCKET;
  std::thread network;
  std::thread video;
  std::thread audio;
  // Each remote user's received audio: filled by the network thread, played by the audio thread.
  struct RemoteAudio {
    JitterBuffer buffer;
    AudioDecoder decoder;
  };
  std::mutex audioLock;  // guards remoteAudio
  std::map<agora::rtc::uid_t, std::unique_ptr<RemoteAudio>> remoteAudio;
  // Network thread only.
  bool everJoined = false;
  std::set<agora::rtc::uid_t> remoteUsers;
  std::set<agora::rtc::uid_t> decoded;
  std::set<agora::rtc::uid_t> stale;  // known before a reconnection and not seen again yet
  DWORD staleDeadline = 0;

  int Elapsed() const { return static_cast<int>(GetTickCount() - startTick); }
  // Waits up to ms, returning early (false) once the session is stopped.
  bool Wait(DWORD ms) {
    for (DWORD waited = 0; waited < ms && !stop; waited += 20)
      Sleep(20);
    return !stop;
  }
};

}  // namespace agora_standin
