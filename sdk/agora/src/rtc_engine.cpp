#include "rtc_engine.h"

#include <ws2tcpip.h>

#include <stdio.h>
#include <stdlib.h>

#include "channel_protocol.h"
#include "engine_interfaces.h"
#include "join_rules.h"
#include "video_frames.h"

namespace agora_standin {

using namespace agora::rtc;
namespace proto = channel_protocol;

namespace {

constexpr DWORD kRetryMs = 500;
constexpr DWORD kLostAfterMs = 10000;
constexpr DWORD kStaleUserMs = 10000;
constexpr DWORD kFrameMs = 100;

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

// One accepted join: lives until leaveChannel (or until the server refuses it).
struct RtcEngine::Session {
  unsigned id = 0;
  std::string channel;
  std::string token;
  uid_t requestedUid = 0;
  std::atomic<uid_t> uid{0};
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
  // Network thread only.
  bool everJoined = false;
  std::set<uid_t> remoteUsers;
  std::set<uid_t> decoded;
  std::set<uid_t> stale;  // known before a reconnection and not seen again yet
  DWORD staleDeadline = 0;

  int Elapsed() const { return static_cast<int>(GetTickCount() - startTick); }
  // Waits up to ms, returning early (false) once the session is stopped.
  bool Wait(DWORD ms) {
    for (DWORD waited = 0; waited < ms && !stop; waited += 20)
      Sleep(20);
    return !stop;
  }
};

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

void RtcEngine::EndSession(std::shared_ptr<Session> session) {
  session->stop = true;
  {
    std::lock_guard<std::mutex> guard(session->handleLock);
    if (session->socket != INVALID_SOCKET)
      shutdown(session->socket, SD_BOTH);
  }
  for (std::thread* t : {&session->network, &session->video}) {
    if (!t->joinable())
      continue;
    if (t->get_id() == std::this_thread::get_id())
      t->detach();
    else
      t->join();
  }
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
  m_log.Write("setAudioProfile " + std::to_string(profile) + ", scenario " +
              std::to_string(scenario));
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

// ---- Network thread ----

bool RtcEngine::SendToServer(const std::shared_ptr<Session>& session, const std::string& bytes) {
  std::lock_guard<std::mutex> sending(session->sendLock);
  SOCKET s;
  {
    std::lock_guard<std::mutex> guard(session->handleLock);
    s = session->socket;
  }
  if (s == INVALID_SOCKET)
    return false;
  size_t sent = 0;
  while (sent < bytes.size()) {
    int n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0)
      return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void RtcEngine::NetworkLoop(std::shared_ptr<Session> session) {
  std::string host, appId;
  int port;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    host = m_serverHost;
    port = m_serverPort;
    appId = m_appId;
  }
  std::string server = host + ":" + std::to_string(port);
  bool downReported = false;
  bool lostReported = false;
  DWORD downSince = GetTickCount();
  while (!session->stop) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    bool connected = s != INVALID_SOCKET &&
                     inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1 &&
                     connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (!connected) {
      if (s != INVALID_SOCKET)
        closesocket(s);
      if (!session->everJoined && !downReported) {
        downReported = true;
        std::string text = "cannot reach the channel server at " + server + ", still trying";
        m_log.Write(text);
        PostEvent(session->id, [text](IRtcEngineEventHandler* h) {
          h->onError(agora::ERR_NET_DOWN, text.c_str());
        });
      }
      if (session->everJoined && !lostReported && GetTickCount() - downSince >= kLostAfterMs) {
        lostReported = true;
        m_log.Write("connection lost");
        PostEvent(session->id, [](IRtcEngineEventHandler* h) { h->onConnectionLost(); });
      }
      session->Wait(kRetryMs);
      continue;
    }
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof(noDelay));
    {
      std::lock_guard<std::mutex> guard(session->handleLock);
      session->socket = s;
      if (session->stop)
        shutdown(s, SD_BOTH);  // leaveChannel ran while this connection was being made
    }
    int profile, role;
    {
      std::lock_guard<std::mutex> guard(m_lock);
      profile = m_profile;
      role = m_role;
    }
    m_log.Write("connected to the channel server at " + server);
    uid_t uid = session->everJoined ? session->uid.load() : session->requestedUid;
    SendToServer(session, proto::Writer(proto::kJoin)
                              .U8(static_cast<uint8_t>(profile))
                              .U8(static_cast<uint8_t>(role))
                              .U32(uid)
                              .Text(session->channel)
                              .Text(session->token)
                              .Text(appId)
                              .Finish());
    bool refused = !ServeConnection(session, s);
    {
      std::lock_guard<std::mutex> sending(session->sendLock);
      std::lock_guard<std::mutex> guard(session->handleLock);
      closesocket(session->socket);
      session->socket = INVALID_SOCKET;
    }
    if (refused || session->stop)
      break;
    if (session->joined.exchange(false)) {
      m_log.Write("connection to the channel server interrupted");
      PostEvent(session->id, [](IRtcEngineEventHandler* h) { h->onConnectionInterrupted(); });
      downSince = GetTickCount();
      lostReported = false;
    }
    session->Wait(kRetryMs);
  }
}

// Reads the server's messages until the connection ends; false when the server refused the join.
bool RtcEngine::ServeConnection(const std::shared_ptr<Session>& session, SOCKET s) {
  proto::Framer framer;
  std::string buffer(64 * 1024, '\0');
  while (!session->stop) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval timeout = {0, 250 * 1000};
    int ready = select(0, &readable, nullptr, nullptr, &timeout);
    if (ready < 0)
      return true;
    if (!session->stale.empty() && static_cast<int>(GetTickCount() - session->staleDeadline) >= 0) {
      // Users who did not come back after the reconnection have dropped out.
      for (uid_t uid : session->stale) {
        session->remoteUsers.erase(uid);
        session->decoded.erase(uid);
        {
          std::lock_guard<std::mutex> guard(m_lock);
          m_remoteViews.erase(uid);
          m_lastFrames.erase(uid);
        }
        m_log.Write("user " + std::to_string(uid) + " offline (dropped)");
        PostEvent(session->id, [uid](IRtcEngineEventHandler* h) {
          h->onUserOffline(uid, USER_OFFLINE_DROPPED);
        });
      }
      session->stale.clear();
    }
    if (ready == 0)
      continue;
    int n = recv(s, &buffer[0], static_cast<int>(buffer.size()), 0);
    if (n <= 0)
      return true;
    framer.Append(buffer.data(), static_cast<size_t>(n));
    uint8_t type;
    std::string payload;
    int result;
    while ((result = framer.Next(type, payload)) == 1) {
      proto::Reader reader(payload.data(), payload.size());
      switch (type) {
        case proto::kJoined: {
          uint32_t uid;
          if (!reader.U32(uid))
            break;
          session->uid = uid;
          session->joined = true;
          std::string channel = session->channel;
          int elapsed = session->Elapsed();
          if (!session->everJoined) {
            session->everJoined = true;
            m_log.Write("joined channel " + channel + " as uid " + std::to_string(uid) + " in " +
                        std::to_string(elapsed) + " ms");
            PostEvent(session->id, [channel, uid, elapsed](IRtcEngineEventHandler* h) {
              h->onJoinChannelSuccess(channel.c_str(), uid, elapsed);
            });
          } else {
            m_log.Write("rejoined channel " + channel + " as uid " + std::to_string(uid));
            session->stale = session->remoteUsers;
            session->staleDeadline = GetTickCount() + kStaleUserMs;
            PostEvent(session->id, [channel, uid, elapsed](IRtcEngineEventHandler* h) {
              h->onRejoinChannelSuccess(channel.c_str(), uid, elapsed);
            });
          }
          break;
        }
        case proto::kJoinRefused: {
          uint32_t code;
          std::string text;
          if (!reader.U32(code) || !reader.Text(text))
            break;
          m_log.Write("the channel server refused the join: " + text);
          {
            std::lock_guard<std::mutex> guard(m_lock);
            session->ended = true;
          }
          PostEvent(session->id, [code, text](IRtcEngineEventHandler* h) {
            h->onError(static_cast<int>(code), text.c_str());
          });
          return false;
        }
        case proto::kUserJoined: {
          uint32_t uid;
          if (!reader.U32(uid))
            break;
          session->stale.erase(uid);
          if (!session->remoteUsers.insert(uid).second)
            break;
          int elapsed = session->Elapsed();
          m_log.Write("user " + std::to_string(uid) + " joined");
          PostEvent(session->id,
                    [uid, elapsed](IRtcEngineEventHandler* h) { h->onUserJoined(uid, elapsed); });
          break;
        }
        case proto::kUserOffline: {
          uint32_t uid, reason;
          if (!reader.U32(uid) || !reader.U32(reason))
            break;
          session->stale.erase(uid);
          if (!session->remoteUsers.erase(uid))
            break;
          session->decoded.erase(uid);
          {
            std::lock_guard<std::mutex> guard(m_lock);
            m_remoteViews.erase(uid);
            m_lastFrames.erase(uid);
          }
          m_log.Write("user " + std::to_string(uid) + " offline, reason " + std::to_string(reason));
          PostEvent(session->id, [uid, reason](IRtcEngineEventHandler* h) {
            h->onUserOffline(uid, static_cast<USER_OFFLINE_REASON_TYPE>(reason));
          });
          break;
        }
        case proto::kRemoteFrame: {
          uint32_t uid;
          uint16_t width, height;
          size_t size;
          if (!reader.U32(uid) || !reader.U16(width) || !reader.U16(height))
            break;
          const char* pixels = reader.Rest(size);
          proto::FrameCheck check = proto::CheckFrame(width, height, size);
          if (check != proto::FrameCheck::kOk) {
            // Ignored and counted; the log names the 1st, 2nd, 4th, 8th ... so a flood of
            // them cannot flood the log.
            unsigned refused = ++m_refusedFrames;
            if ((refused & (refused - 1)) == 0)
              m_log.Write("refused video frame of user " + std::to_string(uid) + ", " +
                          proto::FrameText(width, height, size) + ": " +
                          proto::FrameCheckText(check) + " (" + std::to_string(refused) +
                          " refused so far)");
            break;
          }
          OnRemoteFrame(session, uid, width, height, std::string(pixels, size));
          break;
        }
        default:
          break;
      }
    }
    if (result < 0) {
      m_log.Write("bad message from the channel server");
      return true;
    }
  }
  return true;
}

void RtcEngine::OnRemoteFrame(const std::shared_ptr<Session>& session,
                              uid_t uid,
                              int width,
                              int height,
                              std::string pixels) {
  if (!session->remoteUsers.count(uid))
    return;  // frames of users that are not (or no longer) in the channel
  if (session->decoded.insert(uid).second) {
    int elapsed = session->Elapsed();
    m_log.Write("first video frame of user " + std::to_string(uid) + " decoded, " +
                std::to_string(width) + "x" + std::to_string(height));
    PostEvent(session->id, [uid, width, height, elapsed](IRtcEngineEventHandler* h) {
      h->onFirstRemoteVideoDecoded(uid, width, height, elapsed);
    });
  }
  HWND view = nullptr;
  int mode = RENDER_MODE_FIT;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_session != session)
      return;
    auto it = m_remoteViews.find(uid);
    if (it != m_remoteViews.end()) {
      view = it->second.first;
      mode = it->second.second;
    }
    RemoteFrame& last = m_lastFrames[uid];
    last.width = width;
    last.height = height;
    last.pixels = pixels;
  }
  if (view)
    DrawFrame(view, width, height, pixels, mode);
}

// ---- Video thread ----

void RtcEngine::VideoLoop(std::shared_ptr<Session> session) {
  std::unique_ptr<FramePainter> painter;
  uid_t painted = 0;
  bool firstSent = false;
  unsigned n = 0;
  while (session->Wait(kFrameMs)) {
    if (!session->joined || !LocalVideoSending())
      continue;
    uid_t uid = session->uid;
    if (!painter || painted != uid) {
      painter.reset(new FramePainter(uid));
      painted = uid;
    }
    std::string pixels = painter->Paint(n++);
    bool sent = SendToServer(session, proto::Writer(proto::kVideoFrame)
                                          .U16(kFrameWidth)
                                          .U16(kFrameHeight)
                                          .Bytes(pixels.data(), pixels.size())
                                          .Finish());
    if (sent && !firstSent) {
      firstSent = true;
      int elapsed = session->Elapsed();
      m_log.Write("first local video frame sent");
      PostEvent(session->id, [elapsed](IRtcEngineEventHandler* h) {
        h->onFirstLocalVideoFrame(kFrameWidth, kFrameHeight, elapsed);
      });
    }
  }
}

}  // namespace agora_standin
