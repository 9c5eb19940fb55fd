// The engine's API object: its settings, the join and leave of a channel session and the event
// thread that calls the application's handler. The session's connection is served by
// channel_client.cpp, its video by rtc_video.cpp.
#include "rtc_engine.h"

#include <ws2tcpip.h>

#include <stdio.h>
#include <stdlib.h>

#include "audio_devices.h"
#include "channel_protocol.h"
#include "channel_session.h"
#include "engine_interfaces.h"
#include "join_rules.h"
#include "video_frames.h"

namespace agora_standin {

using namespace agora::rtc;
namespace proto = channel_protocol;

namespace {

std::string Hex(const void* p) {
  char text[32];
  snprintf(text, sizeof(text), "0x%p", p);
  return text;
}

bool IsHexAppId(const char* id) {
  if (!id || strlen(id) != 32)
    return false;
  for (const char* c = id; *c; ++c) {
    if (!isxdigit(static_cast<unsigned char>(*c)))
      return false;
  }
  return true;
}

}  // namespace

RtcEngine::RtcEngine() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  m_serverHost = AGORA_CHANNEL_SERVER_HOST;
  m_serverPort = AGORA_CHANNEL_SERVER_PORT;
  m_eventThread = std::thread(&RtcEngine::EventLoop, this);
  m_log.Write("engine created, version " + std::string(getVersion(nullptr)));
}

RtcEngine::~RtcEngine() {
  WSACleanup();
}

bool RtcEngine::initialized() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_initialized;
}

int RtcEngine::initialize(const RtcEngineContext& context) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (!context.appId || !*context.appId) {
    m_log.Write("initialize: no app id");
    return -agora::ERR_INVALID_ARGUMENT;
  }
  if (!IsHexAppId(context.appId)) {
    m_log.Write("initialize: invalid app id " + std::string(context.appId));
    return -agora::ERR_INVALID_APP_ID;
  }
  m_appId = context.appId;
  m_handler = context.eventHandler;
  m_initialized = true;
  char area[16];
  snprintf(area, sizeof(area), "0x%08X", context.areaCode);
  m_log.Write("initialize: app id " + m_appId + ", event handler " + Hex(m_handler) +
              ", area code " + area);
  return 0;
}

void RtcEngine::release(bool sync) {
  m_log.Write(std::string("release(") + (sync ? "sync" : "async") + ")");
  leaveChannel();
  {
    std::lock_guard<std::mutex> guard(m_eventLock);
    m_eventStop = true;
  }
  m_eventReady.notify_all();
  if (m_eventThread.get_id() == std::this_thread::get_id()) {
    // Released from inside a callback: the event thread cannot wait for itself, and the engine
    // must outlive that callback, so it is left to the process end.
    m_eventThread.detach();
    return;
  }
  m_eventThread.join();
  delete this;
}

int RtcEngine::setChannelProfile(CHANNEL_PROFILE_TYPE profile) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (profile < CHANNEL_PROFILE_COMMUNICATION || profile > CHANNEL_PROFILE_GAME)
    return -agora::ERR_INVALID_ARGUMENT;
  if (m_session && !m_session->ended)
    return -agora::ERR_REFUSED;  // fixed while in a channel
  m_profile = profile;
  m_log.Write("setChannelProfile " + std::to_string(profile));
  return 0;
}

int RtcEngine::setClientRole(CLIENT_ROLE_TYPE role) {
  if (role != CLIENT_ROLE_BROADCASTER && role != CLIENT_ROLE_AUDIENCE)
    return -agora::ERR_INVALID_ARGUMENT;
  std::shared_ptr<Session> session;
  int old;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    old = m_role;
    m_role = role;
    session = m_session;
    m_log.Write("setClientRole " + std::to_string(role));
  }
  if (session && session->joined && old != role) {
    SendToServer(session, proto::Writer(proto::kSetRole).U8(static_cast<uint8_t>(role)).Finish());
    PostEvent(session->id, [old, role](IRtcEngineEventHandler* h) {
      h->onClientRoleChanged(static_cast<CLIENT_ROLE_TYPE>(old), role);
    });
  }
  return 0;
}

int RtcEngine::joinChannel(const char* token, const char* channelId, const char* info, uid_t uid) {
  (void)info;
  std::shared_ptr<Session> old;
  std::shared_ptr<Session> session;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_log.Write(std::string("joinChannel channel ") + (channelId ? channelId : "(null)") +
                ", uid " + std::to_string(uid) + ", token " + (token && *token ? "given" : "none"));
    if (!m_initialized) {
      m_log.Write("joinChannel refused: not initialized");
      return -agora::ERR_NOT_INITIALIZED;
    }
    int rc = CheckJoinArguments(token, channelId);
    if (rc) {
      m_log.Write("joinChannel refused: invalid channel name or token");
      return rc;
    }
    if (m_session && !m_session->ended) {
      m_log.Write("joinChannel refused: already in channel " + m_session->channel);
      return -agora::ERR_JOIN_CHANNEL_REJECTED;
    }
    old = std::move(m_session);
    session = std::make_shared<Session>();
    session->id = m_nextSessionId++;
    session->channel = channelId;
    session->token = token ? token : "";
    session->requestedUid = uid;
    session->startTick = GetTickCount();
    std::string server;
    auto configured = m_parameters.find("rtc.channel_server");
    if (configured != m_parameters.end()) {
      server = configured->second;
    } else if (const char* env = getenv("AGORA_RTC_CHANNEL_SERVER")) {
      server = env;
    }
    std::string host;
    int port = 0;
    if (!server.empty() && ParseHostPort(server, host, port)) {
      m_serverHost = host;
      m_serverPort = port;
    }
    m_session = session;
    m_remoteViews.clear();
    m_lastFrames.clear();
  }
  if (old)
    EndSession(old);
  session->network = std::thread(&RtcEngine::NetworkLoop, this, session);
  session->video = std::thread(&RtcEngine::VideoLoop, this, session);
  session->audio = std::thread(&RtcEngine::AudioLoop, this, session);
  return 0;
}

int RtcEngine::leaveChannel() {
  std::shared_ptr<Session> session;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    session = std::move(m_session);
    m_remoteViews.clear();
    m_lastFrames.clear();
    m_publishedUrls.clear();
  }
  m_log.Write(std::string("leaveChannel") +
              (session ? " " + session->channel : " (not in a channel)"));
  if (!session)
    return 0;
  SendToServer(session, proto::Writer(proto::kLeave).Finish());
  int seconds = static_cast<int>((GetTickCount() - session->startTick) / 1000);
  EndSession(session);
  PostEvent(0, [seconds](IRtcEngineEventHandler* h) {
    RtcStats stats;
    stats.duration = static_cast<unsigned>(seconds);
    h->onLeaveChannel(stats);
  });
  return 0;
}

int RtcEngine::renewToken(const char* token) {
  if (CheckJoinArguments(token, "x"))
    return -agora::ERR_INVALID_ARGUMENT;
  std::lock_guard<std::mutex> guard(m_lock);
  if (!m_session)
    return -agora::ERR_NOT_IN_CHANNEL;
  m_session->token = token ? token : "";
  return 0;
}

int RtcEngine::queryInterface(agora::INTERFACE_ID_TYPE iid, void** inter) {
  if (!inter)
    return -agora::ERR_INVALID_ARGUMENT;
  *inter = nullptr;
  switch (iid) {
    case agora::AGORA_IID_AUDIO_DEVICE_MANAGER:
      *inter = static_cast<IAudioDeviceManager*>(new AudioDeviceManager(this));
      return 0;
    case agora::AGORA_IID_RTC_ENGINE_PARAMETER:
      *inter = static_cast<IRtcEngineParameter*>(new EngineParameter(this));
      return 0;
    default:
      return -agora::ERR_NOT_SUPPORTED;
  }
}

int RtcEngine::getCallId(agora::util::AString& callId) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (!m_session)
    return -agora::ERR_NOT_IN_CHANNEL;
  callId.reset(new StringValue(m_session->channel + "-" + std::to_string(m_session->id)));
  return 0;
}

int RtcEngine::enableVideo() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_videoEnabled = true;
  m_log.Write("enableVideo");
  return 0;
}

int RtcEngine::disableVideo() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_videoEnabled = false;
  m_log.Write("disableVideo");
  return 0;
}

int RtcEngine::startPreview() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_previewing = true;
  m_log.Write("startPreview");
  return 0;
}

int RtcEngine::stopPreview() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_previewing = false;
  m_log.Write("stopPreview");
  return 0;
}

int RtcEngine::enableAudio() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_audioEnabled = true;
  m_log.Write("enableAudio");
  return 0;
}

int RtcEngine::disableAudio() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_audioEnabled = false;
  m_log.Write("disableAudio");
  return 0;
}

int RtcEngine::setAudioProfile(AUDIO_PROFILE_TYPE profile, AUDIO_SCENARIO_TYPE scenario) {
  if (profile < AUDIO_PROFILE_DEFAULT || profile >= AUDIO_PROFILE_NUM ||
      scenario < AUDIO_SCENARIO_DEFAULT || scenario >= AUDIO_SCENARIO_NUM)
    return -agora::ERR_INVALID_ARGUMENT;
  std::lock_guard<std::mutex> guard(m_lock);
  m_audioProfile = profile;
  m_audioScenario = scenario;
  m_log.Write("setAudioProfile " + std::to_string(profile) + ", scenario " +
              std::to_string(scenario) + ": " +
              ProfileText(ProfileValues(profile, scenario, m_profile)));
  return 0;
}

int RtcEngine::setupLocalVideo(const VideoCanvas& canvas) {
  m_log.Write("setupLocalVideo view " + Hex(canvas.view));
  return 0;
}

int RtcEngine::setupRemoteVideo(const VideoCanvas& canvas) {
  if (canvas.uid == 0)
    return -agora::ERR_INVALID_ARGUMENT;
  HWND view = static_cast<HWND>(canvas.view);
  RemoteFrame frame;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_log.Write("setupRemoteVideo uid " + std::to_string(canvas.uid) + ", view " + Hex(view) +
                ", render mode " + std::to_string(canvas.renderMode));
    if (!view) {
      m_remoteViews.erase(canvas.uid);
      return 0;
    }
    m_remoteViews[canvas.uid] = std::make_pair(view, canvas.renderMode);
    auto last = m_lastFrames.find(canvas.uid);
    if (last != m_lastFrames.end())
      frame = last->second;
  }
  // Show the latest picture at once rather than at the next frame.
  if (!frame.pixels.empty())
    DrawFrame(view, frame.width, frame.height, frame.pixels, canvas.renderMode);
  return 0;
}

int RtcEngine::addPublishStreamUrl(const char* url, bool transcodingEnabled) {
  if (!url || strncmp(url, "rtmp://", 7) != 0 || strlen(url) > 1024)
    return -agora::ERR_INVALID_ARGUMENT;
  std::lock_guard<std::mutex> guard(m_lock);
  if (!m_session || !m_session->joined)
    return -agora::ERR_NOT_READY;
  m_publishedUrls.insert(url);
  m_log.Write(std::string("addPublishStreamUrl ") + url +
              (transcodingEnabled ? " (transcoding)" : ""));
  std::string copy = url;
  PostEvent(m_session->id,
            [copy](IRtcEngineEventHandler* h) { h->onStreamPublished(copy.c_str(), 0); });
  return 0;
}

int RtcEngine::removePublishStreamUrl(const char* url) {
  if (!url)
    return -agora::ERR_INVALID_ARGUMENT;
  std::lock_guard<std::mutex> guard(m_lock);
  if (!m_session || !m_publishedUrls.erase(url))
    return -agora::ERR_INVALID_ARGUMENT;
  m_log.Write(std::string("removePublishStreamUrl ") + url);
  std::string copy = url;
  PostEvent(m_session->id,
            [copy](IRtcEngineEventHandler* h) { h->onStreamUnpublished(copy.c_str()); });
  return 0;
}

int RtcEngine::setLiveTranscoding(const LiveTranscoding& transcoding) {
  if (transcoding.width <= 0 || transcoding.height <= 0)
    return -agora::ERR_INVALID_ARGUMENT;
  std::lock_guard<std::mutex> guard(m_lock);
  if (!m_session || !m_session->joined)
    return -agora::ERR_NOT_READY;
  m_log.Write("setLiveTranscoding " + std::to_string(transcoding.width) + "x" +
              std::to_string(transcoding.height));
  PostEvent(m_session->id, [](IRtcEngineEventHandler* h) { h->onTranscodingUpdated(); });
  return 0;
}

const char* RtcEngine::getVersion(int* build) {
  if (build)
    *build = 1;
  return "2.9.0";
}

const char* RtcEngine::getErrorDescription(int code) {
  switch (code < 0 ? -code : code) {
    case 0:
      return "no error";
    case agora::ERR_INVALID_ARGUMENT:
      return "invalid argument";
    case agora::ERR_NOT_READY:
      return "not ready";
    case agora::ERR_NOT_SUPPORTED:
      return "not supported";
    case agora::ERR_REFUSED:
      return "refused";
    case agora::ERR_NOT_INITIALIZED:
      return "not initialized";
    case agora::ERR_NET_DOWN:
      return "network down";
    case agora::ERR_JOIN_CHANNEL_REJECTED:
      return "join channel rejected";
    case agora::ERR_INVALID_APP_ID:
      return "invalid app id";
    case agora::ERR_INVALID_CHANNEL_NAME:
      return "invalid channel name";
    case agora::ERR_NOT_IN_CHANNEL:
      return "not in channel";
    default:
      return "error";
  }
}

int RtcEngine::SetParameter(const std::string& key, const std::string& value) {
  if (key.empty())
    return -agora::ERR_INVALID_ARGUMENT;
  if (key == "rtc.log_file") {
    m_log.Write("log file " + value);
    if (!m_log.SetFile(value))
      return -agora::ERR_FAILED;
  } else if (key == "rtc.channel_server") {
    std::string host;
    int port;
    if (!ParseHostPort(value, host, port))
      return -agora::ERR_INVALID_ARGUMENT;
  }
  std::lock_guard<std::mutex> guard(m_lock);
  m_parameters[key] = value;
  m_log.Write("parameter " + key + " = " + value);
  return 0;
}

bool RtcEngine::GetParameter(const std::string& key, std::string& value) {
  // Read-only figures of the audio path.
  if (key == "rtc.audio.stats") {
    value = AudioStats();
    return true;
  }
  if (key == "rtc.audio.input_start_us" || key == "rtc.audio.output_start_us") {
    value = std::to_string(key == "rtc.audio.input_start_us" ? m_inputStartUs.load()
                                                             : m_outputStartUs.load());
    return true;
  }
  std::lock_guard<std::mutex> guard(m_lock);
  auto it = m_parameters.find(key);
  if (it == m_parameters.end())
    return false;
  value = it->second;
  return true;
}

int RtcEngine::SetParameters(const std::string& json) {
  std::map<std::string, std::string> values;
  if (!ParseParameterObject(json, values)) {
    m_log.Write("setParameters refused: " + json);
    return -agora::ERR_INVALID_ARGUMENT;
  }
  for (auto& entry : values) {
    int rc = SetParameter(entry.first, entry.second);
    if (rc)
      return rc;
  }
  return 0;
}

bool RtcEngine::LocalVideoSending() {
  std::lock_guard<std::mutex> guard(m_lock);
  auto is = [this](const char* key, const char* value) {
    auto it = m_parameters.find(key);
    return it != m_parameters.end() && it->second == value;
  };
  bool muted = is("rtc.video.mute_me", "true") || is("che.video.local.send", "false");
  return m_videoEnabled && !muted &&
         (m_profile == CHANNEL_PROFILE_COMMUNICATION || m_role == CLIENT_ROLE_BROADCASTER);
}

// ---- Event thread ----

void RtcEngine::PostEvent(unsigned sessionId, std::function<void(IRtcEngineEventHandler*)> f) {
  {
    std::lock_guard<std::mutex> guard(m_eventLock);
    m_events.emplace_back(sessionId, std::move(f));
  }
  m_eventReady.notify_one();
}

void RtcEngine::EventLoop() {
  for (;;) {
    std::pair<unsigned, std::function<void(IRtcEngineEventHandler*)>> event;
    {
      std::unique_lock<std::mutex> guard(m_eventLock);
      m_eventReady.wait(guard, [this] { return m_eventStop || !m_events.empty(); });
      if (m_eventStop)
        return;
      event = std::move(m_events.front());
      m_events.pop_front();
    }
    IRtcEngineEventHandler* handler;
    {
      std::lock_guard<std::mutex> guard(m_lock);
      handler = m_handler;
      // Events of a session that has been left since are dropped.
      if (event.first != 0 && (!m_session || m_session->id != event.first))
        handler = nullptr;
    }
    if (handler)
      event.second(handler);
  }
}

}  // namespace agora_standin
