// The engine's channel client: the network thread of a channel session, which connects to the
// channel server (retrying while it cannot), sends the join, turns the server's messages into
// handler events and reconnects after an interruption.
#include <winsock2.h>
// after winsock2.h
#include <ws2tcpip.h>

#include "channel_protocol.h"
#include "channel_session.h"
#include "rtc_engine.h"

namespace agora_standin {

using namespace agora::rtc;
namespace proto = channel_protocol;

namespace {

constexpr DWORD kRetryMs = 500;
constexpr DWORD kLostAfterMs = 10000;
constexpr DWORD kStaleUserMs = 10000;

}  // namespace

void RtcEngine::EndSession(std::shared_ptr<Session> session) {
  session->stop = true;
  {
    std::lock_guard<std::mutex> guard(session->handleLock);
    if (session->socket != INVALID_SOCKET)
      shutdown(session->socket, SD_BOTH);
  }
  for (std::thread* t : {&session->network, &session->video, &session->audio}) {
    if (!t->joinable())
      continue;
    if (t->get_id() == std::this_thread::get_id())
      t->detach();
    else
      t->join();
  }
}

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
    if (!session->stale.empty() && static_cast<int>(GetTickCount() - session->staleDeadline) >= 0)
      DropStaleUsers(session);
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
      if (!OnServerMessage(session, type, payload))
        return false;
    }
    if (result < 0) {
      m_log.Write("bad message from the channel server");
      return true;
    }
  }
  return true;
}

// Users who did not come back after the reconnection have dropped out.
void RtcEngine::DropStaleUsers(const std::shared_ptr<Session>& session) {
  for (uid_t uid : session->stale) {
    session->remoteUsers.erase(uid);
    session->decoded.erase(uid);
    {
      std::lock_guard<std::mutex> guard(session->audioLock);
      session->remoteAudio.erase(uid);
    }
    {
      std::lock_guard<std::mutex> guard(m_lock);
      m_remoteViews.erase(uid);
      m_lastFrames.erase(uid);
    }
    m_log.Write("user " + std::to_string(uid) + " offline (dropped)");
    PostEvent(session->id,
              [uid](IRtcEngineEventHandler* h) { h->onUserOffline(uid, USER_OFFLINE_DROPPED); });
  }
  session->stale.clear();
}

// One message of the server; a message too short for its type is skipped. False when the server
// refused the join.
bool RtcEngine::OnServerMessage(const std::shared_ptr<Session>& session,
                                uint8_t type,
                                const std::string& payload) {
  proto::Reader reader(payload.data(), payload.size());
  switch (type) {
    case proto::kJoined: {
      uint32_t uid;
      if (reader.U32(uid))
        OnJoined(session, uid);
      return true;
    }
    case proto::kJoinRefused: {
      uint32_t code;
      std::string text;
      if (!reader.U32(code) || !reader.Text(text))
        return true;
      OnJoinRefused(session, code, text);
      return false;
    }
    case proto::kUserJoined: {
      uint32_t uid;
      if (reader.U32(uid))
        OnUserJoined(session, uid);
      return true;
    }
    case proto::kUserOffline: {
      uint32_t uid, reason;
      if (reader.U32(uid) && reader.U32(reason))
        OnUserOffline(session, uid, reason);
      return true;
    }
    case proto::kRemoteAudio: {
      uint32_t uid, sequence;
      size_t size;
      if (!reader.U32(uid) || !reader.U32(sequence))
        return true;
      const char* packet = reader.Rest(size);
      OnRemoteAudio(session, uid, sequence, std::string(packet, size));
      return true;
    }
    case proto::kRemoteFrame: {
      uint32_t uid;
      uint16_t width, height;
      size_t size;
      if (!reader.U32(uid) || !reader.U16(width) || !reader.U16(height))
        return true;
      const char* pixels = reader.Rest(size);
      proto::FrameCheck check = proto::CheckFrame(width, height, size);
      if (check != proto::FrameCheck::kOk) {
        // Ignored and counted; the log names the 1st, 2nd, 4th, 8th ... so a flood of them
        // cannot flood the log.
        unsigned refused = ++m_refusedFrames;
        if ((refused & (refused - 1)) == 0)
          m_log.Write("refused video frame of user " + std::to_string(uid) + ", " +
                      proto::FrameText(width, height, size) + ": " + proto::FrameCheckText(check) +
                      " (" + std::to_string(refused) + " refused so far)");
        return true;
      }
      OnRemoteFrame(session, uid, width, height, std::string(pixels, size));
      return true;
    }
    default:
      return true;
  }
}

void RtcEngine::OnJoined(const std::shared_ptr<Session>& session, uid_t uid) {
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
}

void RtcEngine::OnJoinRefused(const std::shared_ptr<Session>& session,
                              uint32_t code,
                              const std::string& text) {
  m_log.Write("the channel server refused the join: " + text);
  {
    std::lock_guard<std::mutex> guard(m_lock);
    session->ended = true;
  }
  PostEvent(session->id, [code, text](IRtcEngineEventHandler* h) {
    h->onError(static_cast<int>(code), text.c_str());
  });
}

void RtcEngine::OnUserJoined(const std::shared_ptr<Session>& session, uid_t uid) {
  session->stale.erase(uid);
  if (!session->remoteUsers.insert(uid).second)
    return;
  int elapsed = session->Elapsed();
  m_log.Write("user " + std::to_string(uid) + " joined");
  PostEvent(session->id,
            [uid, elapsed](IRtcEngineEventHandler* h) { h->onUserJoined(uid, elapsed); });
}

void RtcEngine::OnUserOffline(const std::shared_ptr<Session>& session, uid_t uid, uint32_t reason) {
  session->stale.erase(uid);
  if (!session->remoteUsers.erase(uid))
    return;
  session->decoded.erase(uid);
  {
    std::lock_guard<std::mutex> guard(session->audioLock);
    session->remoteAudio.erase(uid);
  }
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_remoteViews.erase(uid);
    m_lastFrames.erase(uid);
  }
  m_log.Write("user " + std::to_string(uid) + " offline, reason " + std::to_string(reason));
  PostEvent(session->id, [uid, reason](IRtcEngineEventHandler* h) {
    h->onUserOffline(uid, static_cast<USER_OFFLINE_REASON_TYPE>(reason));
  });
}

}  // namespace agora_standin
