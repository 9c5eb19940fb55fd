// The engine behind createAgoraRtcEngine: its state, the channel session with the channel
// server (network thread and video thread) and the event thread that calls the handler. The API
// and the event thread are in rtc_engine.cpp, the network thread in channel_client.cpp, the
// video in rtc_video.cpp.
#pragma once

#include <winsock2.h>
// after winsock2.h
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "IAgoraRtcEngine.h"
#include "engine_log.h"

namespace agora_standin {

class FileSpeaker;

class RtcEngine : public agora::rtc::IRtcEngine {
 public:
  RtcEngine();

  // IRtcEngine
  int initialize(const agora::rtc::RtcEngineContext& context) override;
  void release(bool sync) override;
  int setChannelProfile(agora::rtc::CHANNEL_PROFILE_TYPE profile) override;
  int setClientRole(agora::rtc::CLIENT_ROLE_TYPE role) override;
  int joinChannel(const char* token,
                  const char* channelId,
                  const char* info,
                  agora::rtc::uid_t uid) override;
  int leaveChannel() override;
  int renewToken(const char* token) override;
  int queryInterface(agora::INTERFACE_ID_TYPE iid, void** inter) override;
  int getCallId(agora::util::AString& callId) override;
  int enableVideo() override;
  int disableVideo() override;
  int startPreview() override;
  int stopPreview() override;
  int enableAudio() override;
  int disableAudio() override;
  int setAudioProfile(agora::rtc::AUDIO_PROFILE_TYPE profile,
                      agora::rtc::AUDIO_SCENARIO_TYPE scenario) override;
  int setupLocalVideo(const agora::rtc::VideoCanvas& canvas) override;
  int setupRemoteVideo(const agora::rtc::VideoCanvas& canvas) override;
  int addPublishStreamUrl(const char* url, bool transcodingEnabled) override;
  int removePublishStreamUrl(const char* url) override;
  int setLiveTranscoding(const agora::rtc::LiveTranscoding& transcoding) override;
  const char* getVersion(int* build) override;
  const char* getErrorDescription(int code) override;

  // For the parameter interface.
  int SetParameter(const std::string& key, const std::string& value);
  bool GetParameter(const std::string& key, std::string& value);
  int SetParameters(const std::string& json);
  void Log(const std::string& line) { m_log.Write(line); }
  // For the audio device manager.
  bool initialized();

 private:
  struct Session;
  struct RemoteFrame {
    int width = 0;
    int height = 0;
    std::string pixels;
  };

  ~RtcEngine() override;

  // Queues a handler call for the event thread. Calls bound to a session are dropped when that
  // session is no longer the current one by the time they would run.
  void PostEvent(unsigned sessionId, std::function<void(agora::rtc::IRtcEngineEventHandler*)> f);
  void EventLoop();

  // Channel client (network thread).
  void NetworkLoop(std::shared_ptr<Session> session);
  bool ServeConnection(const std::shared_ptr<Session>& session, SOCKET socket);
  void DropStaleUsers(const std::shared_ptr<Session>& session);
  bool OnServerMessage(const std::shared_ptr<Session>& session,
                       uint8_t type,
                       const std::string& payload);
  void OnJoined(const std::shared_ptr<Session>& session, agora::rtc::uid_t uid);
  void OnJoinRefused(const std::shared_ptr<Session>& session,
                     uint32_t code,
                     const std::string& text);
  void OnUserJoined(const std::shared_ptr<Session>& session, agora::rtc::uid_t uid);
  void OnUserOffline(const std::shared_ptr<Session>& session,
                     agora::rtc::uid_t uid,
                     uint32_t reason);
  void EndSession(std::shared_ptr<Session> session);
  bool SendToServer(const std::shared_ptr<Session>& session, const std::string& bytes);

  // Audio (network thread for remote packets, the session's audio thread for the rest).
  struct AudioSettings;
  void AudioLoop(std::shared_ptr<Session> session);
  AudioSettings ReadAudioSettings();
  void OnRemoteAudio(const std::shared_ptr<Session>& session,
                     agora::rtc::uid_t uid,
                     uint32_t sequence,
                     std::string packet);
  void RefuseAudio(agora::rtc::uid_t uid, const std::string& why);
  std::string AudioStats();

  // Video (network thread for remote frames, the session's video thread for local ones).
  void VideoLoop(std::shared_ptr<Session> session);
  void OnRemoteFrame(const std::shared_ptr<Session>& session,
                     agora::rtc::uid_t uid,
                     int width,
                     int height,
                     std::string pixels);
  bool LocalVideoSending();

  std::mutex m_lock;  // guards the state below
  agora::rtc::IRtcEngineEventHandler* m_handler = nullptr;
  std::string m_appId;
  bool m_initialized = false;
  int m_profile = agora::rtc::CHANNEL_PROFILE_COMMUNICATION;
  int m_role = agora::rtc::CLIENT_ROLE_BROADCASTER;
  bool m_audioEnabled = true;
  int m_audioProfile = agora::rtc::AUDIO_PROFILE_DEFAULT;
  int m_audioScenario = agora::rtc::AUDIO_SCENARIO_DEFAULT;
  bool m_videoEnabled = false;
  bool m_previewing = false;
  std::map<std::string, std::string> m_parameters;
  std::shared_ptr<Session> m_session;
  unsigned m_nextSessionId = 1;
  std::map<agora::rtc::uid_t, std::pair<HWND, int>> m_remoteViews;  // window, render mode
  std::map<agora::rtc::uid_t, RemoteFrame> m_lastFrames;
  std::set<std::string> m_publishedUrls;
  std::string m_serverHost;
  int m_serverPort = 0;
  // Remote frames that broke the frame rule and were ignored (network threads).
  std::atomic<unsigned> m_refusedFrames{0};
  // Audio counters: packets sent, received, refused (bad size, undecodable), and what the
  // playout made of the received ones.
  std::atomic<unsigned> m_audioSent{0};
  std::atomic<unsigned> m_audioReceived{0};
  std::atomic<unsigned> m_audioRefused{0};
  std::atomic<unsigned> m_audioLate{0};
  std::atomic<unsigned> m_audioDecoded{0};
  std::atomic<unsigned> m_audioFec{0};
  std::atomic<unsigned> m_audioConcealed{0};
  // When the first sample of the microphone was captured and the first sample went to the
  // speaker (microseconds of the performance counter, 0 before), for the delay benchmark.
  std::atomic<long long> m_inputStartUs{0};
  std::atomic<long long> m_outputStartUs{0};
  // The speaker file outlives sessions, so leaving and joining again adds to one file; only
  // the current session's audio thread touches it (and release, after every session ended).
  std::unique_ptr<FileSpeaker> m_speakerFile;
  std::string m_speakerFilePath;

  std::mutex m_eventLock;
  std::condition_variable m_eventReady;
  std::deque<std::pair<unsigned, std::function<void(agora::rtc::IRtcEngineEventHandler*)>>>
      m_events;
  bool m_eventStop = false;
  std::thread m_eventThread;

  EngineLog m_log;
};

}  // namespace agora_standin
