#include "channel_server.h"

#include <ws2tcpip.h>

#include <stdio.h>

#include <atomic>

#include "channel_protocol.h"

namespace channel_server {

using namespace channel_protocol;

namespace {

// How long a reader or writer waits on its socket before it looks at its stop flags again.
constexpr long kPollMs = 250;
// Messages smaller than this that wait in a queue together are sent with one call.
constexpr size_t kBatchBytes = 64 * 1024;

// Waits until the socket can be read (or written); false when the wait failed.
bool WaitSocket(SOCKET socket, bool forWrite, bool& ready) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval timeout = {0, kPollMs * 1000};
  int n = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &timeout);
  ready = n > 0;
  return n >= 0;
}

}  // namespace

// One member's connection. What the server sends it goes into its queue and out through its own
// writer thread, so no thread ever waits for this member's socket (least of all while holding
// the server's lock): a member that stops reading only fills its own queue, and is dropped once
// that is kDropQueuedBytes long.
struct ChannelServer::Connection {
  SOCKET socket = INVALID_SOCKET;
  // Set while the connection is a member of a channel (guarded by the server's lock).
  std::string channel;
  uint32_t uid = 0;
  bool joined = false;
  bool finished = false;  // its reader thread is about to end (guarded by the server's lock)
  // Role changes logged in the second that began at roleLogStart, and those left out since
  // (guarded by the server's lock).
  DWORD roleLogStart = 0;
  int roleLines = 0;
  unsigned roleUnlogged = 0;

  enum class Queued {
    kYes,
    kNo,               // the connection is closing, or a frame was skipped
    kSkippingStarted,  // a frame was skipped, the first since the member caught up
    kDropped,          // the member is too far behind: the connection is being closed
  };

  struct Entry {
    std::shared_ptr<const std::string> bytes;
    uint32_t about = 0;  // the member the message is about or from (0: none)
    bool roleNote = false;
  };

  std::mutex queueLock;  // guards the queue and everything below
  std::condition_variable queueChanged;
  std::deque<Entry> queue;
  size_t queuedBytes = 0;  // counted with kQueuedMessageCost per message
  uint64_t taken = 0;      // messages the writer has taken from the queue so far
  // For each member, the number (taken + position) of the last message in the queue about it or
  // from it: a role note there can be brought up to date instead of queueing another one.
  std::map<uint32_t, uint64_t> lastAbout;
  bool closing = false;  // the writer must end
  // Set when the member fell too far behind; its reader ends the connection.
  std::atomic<bool> dropped{false};
  bool behind = false;  // frames were skipped and that was logged; cleared when it catches up
  // Audio waits here, apart from the queue above, and is always sent first.
  std::deque<std::shared_ptr<const std::string>> audio;
  bool audioBehind = false;  // old audio was dropped and that was logged
  std::thread writer;

  // Queues an audio packet; true when an old one had to make room for it (the first of a run
  // sets *started, so the server logs it once).
  bool QueueAudio(std::shared_ptr<const std::string> bytes, bool* started) {
    std::lock_guard<std::mutex> guard(queueLock);
    *started = false;
    if (closing)
      return false;
    bool dropped = false;
    if (audio.size() >= kMaxQueuedAudio) {
      audio.pop_front();
      dropped = true;
      *started = !audioBehind;
      audioBehind = true;
    } else if (audio.size() <= kMaxQueuedAudio / 2) {
      audioBehind = false;
    }
    audio.push_back(std::move(bytes));
    queueChanged.notify_one();
    return dropped;
  }

  // Queues a message. Video frames (droppable) are skipped while the member is more than
  // kMaxQueuedBytes behind. A role note about a member whose last message in the queue is an
  // unsent role note replaces that note: the member hears the latest state once.
  Queued Queue(std::shared_ptr<const std::string> bytes,
               bool droppable,
               uint32_t about = 0,
               bool roleNote = false) {
    std::lock_guard<std::mutex> guard(queueLock);
    if (closing)
      return Queued::kNo;
    const size_t cost = bytes->size() + kQueuedMessageCost;
    if (droppable && queuedBytes + cost > kMaxQueuedBytes) {
      bool started = !behind;
      behind = true;
      return started ? Queued::kSkippingStarted : Queued::kNo;
    }
    if (queuedBytes <= kMaxQueuedBytes / 2)
      behind = false;
    if (roleNote) {
      auto last = lastAbout.find(about);
      Entry* pending =
          last == lastAbout.end() ? nullptr : &queue[static_cast<size_t>(last->second - taken)];
      if (pending && pending->roleNote) {
        queuedBytes = queuedBytes - pending->bytes->size() + bytes->size();
        pending->bytes = std::move(bytes);
        return Queued::kYes;
      }
    }
    if (queuedBytes + cost > kDropQueuedBytes) {
      closing = true;
      queue.clear();
      lastAbout.clear();
      queuedBytes = 0;
      queueChanged.notify_one();
      dropped = true;  // its reader sees it and removes the member
      shutdown(socket, SD_BOTH);
      return Queued::kDropped;
    }
    if (about != 0)
      lastAbout[about] = taken + queue.size();
    queuedBytes += cost;
    queue.push_back({std::move(bytes), about, roleNote});
    queueChanged.notify_one();
    return Queued::kYes;
  }

  // The first message of the queue, which the writer sends now (queueLock held).
  std::shared_ptr<const std::string> TakeFront() {
    Entry& front = queue.front();
    std::shared_ptr<const std::string> bytes = std::move(front.bytes);
    if (front.about != 0) {
      auto last = lastAbout.find(front.about);
      if (last != lastAbout.end() && last->second == taken)
        lastAbout.erase(last);
    }
    queue.pop_front();
    ++taken;
    queuedBytes -= bytes->size() + kQueuedMessageCost;
    return bytes;
  }

  void WriteLoop() {
    for (;;) {
      std::shared_ptr<const std::string> next;
      {
        std::unique_lock<std::mutex> guard(queueLock);
        queueChanged.wait(guard, [this] { return closing || !queue.empty() || !audio.empty(); });
        if (closing)
          return;
        if (!audio.empty()) {
          // All waiting audio in one send, ahead of anything else.
          std::string batch;
          while (!audio.empty()) {
            batch += *audio.front();
            audio.pop_front();
          }
          next = std::make_shared<const std::string>(std::move(batch));
        } else {
          next = TakeFront();
        }
        // Small messages waiting behind it go out in the same send.
        if (audio.empty() && next->size() < kBatchBytes && !queue.empty() &&
            next->size() + queue.front().bytes->size() <= kBatchBytes) {
          std::string batch = *next;
          while (!queue.empty() && batch.size() + queue.front().bytes->size() <= kBatchBytes)
            batch += *TakeFront();
          next = std::make_shared<const std::string>(std::move(batch));
        }
      }
      size_t sent = 0;
      while (sent < next->size()) {
        {
          std::lock_guard<std::mutex> guard(queueLock);
          if (closing)
            return;
        }
        bool ready = false;
        if (!WaitSocket(socket, true, ready))
          return Fail();
        if (!ready)
          continue;
        int n = send(socket, next->data() + sent, static_cast<int>(next->size() - sent), 0);
        if (n > 0)
          sent += static_cast<size_t>(n);
        else if (WSAGetLastError() != WSAEWOULDBLOCK)
          return Fail();
      }
    }
  }

  // The peer cannot be written to: end the connection; its reader sees it and cleans up.
  void Fail() { shutdown(socket, SD_BOTH); }

  void StopWriting() {
    {
      std::lock_guard<std::mutex> guard(queueLock);
      closing = true;
      queue.clear();
      audio.clear();
      lastAbout.clear();
      queuedBytes = 0;
      queueChanged.notify_one();
    }
    if (writer.joinable())
      writer.join();
  }
};

bool ChannelServer::Member::Visible() const {
  return profile == kProfileCommunication || role == kRoleBroadcaster;
}

ChannelServer::ChannelServer() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  m_nextUid = 100000 + (GetTickCount() % 100000);
}

ChannelServer::~ChannelServer() {
  Stop();
  WSACleanup();
}

void ChannelServer::SetLogSink(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_logSink = std::move(sink);
}

void ChannelServer::Log(const std::string& line) {
  // Called with m_lock held or from the accept thread; the sink is set before Start.
  if (m_logSink) {
    m_logSink(line);
  } else {
    printf("%s\n", line.c_str());
    fflush(stdout);
  }
}

bool ChannelServer::Start(const std::string& host, uint16_t port) {
  Stop();
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET)
    return false;
  // A restarted server must get its port back while old connections linger.
  BOOL reuse = TRUE;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
             sizeof(reuse));
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
      bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener, SOMAXCONN) != 0) {
    closesocket(listener);
    return false;
  }
  int size = sizeof(address);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_listener = listener;
    m_port = ntohs(address.sin_port);
    m_stopping = false;
    Log("listening on " + host + ":" + std::to_string(m_port));
  }
  m_acceptThread = std::thread(&ChannelServer::AcceptLoop, this);
  return true;
}

void ChannelServer::Stop() {
  std::vector<std::pair<std::shared_ptr<Connection>, std::thread>> threads;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_listener == INVALID_SOCKET && !m_acceptThread.joinable())
      return;
    m_stopping = true;
    closesocket(m_listener);
    m_listener = INVALID_SOCKET;
    for (auto& connection : m_connections)
      shutdown(connection->socket, SD_BOTH);
  }
  if (m_acceptThread.joinable())
    m_acceptThread.join();
  {
    std::lock_guard<std::mutex> guard(m_lock);
    threads.swap(m_threads);
  }
  for (auto& entry : threads)
    entry.second.join();
  std::lock_guard<std::mutex> guard(m_lock);
  m_connections.clear();
  m_channels.clear();
  Log("stopped");
}

void ChannelServer::AcceptLoop() {
  for (;;) {
    SOCKET listener;
    {
      std::lock_guard<std::mutex> guard(m_lock);
      listener = m_listener;
    }
    if (listener == INVALID_SOCKET)
      return;
    SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET)
      return;  // the listener was closed
    BOOL noDelay = TRUE;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof(noDelay));
    // Reader and writer wait with select and look at their stop flags between waits.
    u_long nonBlocking = 1;
    ioctlsocket(client, FIONBIO, &nonBlocking);
    auto connection = std::make_shared<Connection>();
    connection->socket = client;
    connection->writer = std::thread(&Connection::WriteLoop, connection.get());
    std::vector<std::thread> finished;
    {
      std::lock_guard<std::mutex> guard(m_lock);
      if (m_stopping) {
        connection->StopWriting();
        closesocket(client);
        return;
      }
      for (auto it = m_threads.begin(); it != m_threads.end();) {
        if (it->first->finished) {
          finished.push_back(std::move(it->second));
          it = m_threads.erase(it);
        } else {
          ++it;
        }
      }
      m_connections.push_back(connection);
      m_threads.emplace_back(connection, std::thread(&ChannelServer::Serve, this, connection));
    }
    for (auto& thread : finished)
      thread.join();
  }
}

void ChannelServer::Serve(std::shared_ptr<Connection> connection) {
  Framer framer;
  char buffer[64 * 1024];
  bool good = true;
  while (good && !connection->dropped) {
    bool ready = false;
    if (!WaitSocket(connection->socket, false, ready))
      break;
    if (!ready) {
      std::lock_guard<std::mutex> guard(m_lock);
      if (m_stopping)
        break;
      continue;
    }
    int n = recv(connection->socket, buffer, sizeof(buffer), 0);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK)
      continue;
    if (n <= 0)
      break;
    framer.Append(buffer, static_cast<size_t>(n));
    uint8_t type = 0;
    std::string payload;
    int result;
    while ((result = framer.Next(type, payload)) == 1)
      Handle(connection, type, payload);
    if (result < 0) {
      std::lock_guard<std::mutex> guard(m_lock);
      Log("bad message length, closing the connection");
      good = false;
    }
  }
  RemoveMember(connection, 1 /* dropped */);
  connection->StopWriting();
  std::lock_guard<std::mutex> guard(m_lock);
  connection->finished = true;
  closesocket(connection->socket);
  for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
    if (*it == connection) {
      m_connections.erase(it);
      break;
    }
  }
}

void ChannelServer::Handle(const std::shared_ptr<Connection>& connection,
                           uint8_t type,
                           const std::string& payload) {
  Reader reader(payload.data(), payload.size());
  switch (type) {
    case kJoin:
      OnJoin(connection, payload);
      break;
    case kLeave:
      RemoveMember(connection, 0 /* quit */);
      break;
    case kSetRole: {
      uint8_t role = 0;
      if (!reader.U8(role))
        break;
      std::lock_guard<std::mutex> guard(m_lock);
      if (!connection->joined)
        break;
      auto& members = m_channels[connection->channel];
      Member& self = members[connection->uid];
      bool wasVisible = self.Visible();
      self.role = role;
      LogRole(*connection, role);
      if (wasVisible == self.Visible())
        break;
      auto note = std::make_shared<const std::string>(
          wasVisible ? Writer(kUserOffline).U32(connection->uid).U32(2).Finish()
                     : Writer(kUserJoined).U32(connection->uid).Finish());
      for (auto& entry : members) {
        if (entry.first != connection->uid)
          Send(entry.second.connection, note, connection->uid, true);
      }
      break;
    }
    case kVideoFrame: {
      uint16_t width = 0, height = 0;
      size_t size = 0;
      if (!reader.U16(width) || !reader.U16(height))
        break;
      const char* pixels = reader.Rest(size);
      FrameCheck check = CheckFrame(width, height, size);
      if (check != FrameCheck::kOk) {
        std::lock_guard<std::mutex> guard(m_lock);
        Log("drop video frame uid=" + std::to_string(connection->uid) + " " +
            FrameText(width, height, size) + ": " + FrameCheckText(check));
        break;
      }
      std::vector<std::shared_ptr<Connection>> receivers;
      uint32_t uid;
      {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!connection->joined)
          break;
        auto& members = m_channels[connection->channel];
        if (!members[connection->uid].Visible())
          break;
        uid = connection->uid;
        for (auto& entry : members) {
          if (entry.first != uid)
            receivers.push_back(entry.second.connection);
        }
      }
      if (receivers.empty())
        break;
      auto relay = std::make_shared<const std::string>(
          Writer(kRemoteFrame).U32(uid).U16(width).U16(height).Bytes(pixels, size).Finish());
      for (auto& receiver : receivers) {
        if (receiver->Queue(relay, true, uid) == Connection::Queued::kSkippingStarted) {
          std::lock_guard<std::mutex> guard(m_lock);
          Log("member uid=" + std::to_string(receiver->uid) +
              " is not reading; its video frames are skipped until it catches up");
        }
      }
      break;
    }
    case kAudioFrame: {
      uint32_t sequence = 0;
      size_t size = 0;
      if (!reader.U32(sequence))
        break;
      const char* packet = reader.Rest(size);
      std::vector<std::shared_ptr<Connection>> receivers;
      uint32_t uid;
      {
        std::lock_guard<std::mutex> guard(m_lock);
        AudioCheck check = CheckAudioPacket(size);
        if (check != AudioCheck::kOk) {
          // Counted; the log names the 1st, 2nd, 4th, 8th ...
          uint64_t refused = ++m_audio.refused;
          if ((refused & (refused - 1)) == 0)
            Log("drop audio packet uid=" + std::to_string(connection->uid) + " of " +
                std::to_string(size) + " bytes: " + AudioCheckText(check) + " (" +
                std::to_string(refused) + " so far)");
          break;
        }
        if (!connection->joined)
          break;
        auto& members = m_channels[connection->channel];
        if (!members[connection->uid].Visible())
          break;
        if (m_audioLossPercent > 0) {
          m_lossState = m_lossState * 1664525u + 1013904223u;
          if ((m_lossState >> 8) % 100 < static_cast<uint32_t>(m_audioLossPercent)) {
            ++m_audio.lost;
            break;
          }
        }
        uid = connection->uid;
        for (auto& entry : members) {
          if (entry.first != uid)
            receivers.push_back(entry.second.connection);
        }
      }
      if (receivers.empty())
        break;
      auto relay = std::make_shared<const std::string>(
          Writer(kRemoteAudio).U32(uid).U32(sequence).Bytes(packet, size).Finish());
      for (auto& receiver : receivers) {
        bool started = false;
        bool dropped = receiver->QueueAudio(relay, &started);
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_audio.relayed;
        if (dropped)
          ++m_audio.oldDropped;
        if (started)
          Log("member uid=" + std::to_string(receiver->uid) +
              " is not reading; its oldest audio is dropped until it catches up");
      }
      break;
    }
    default:
      break;  // unknown messages are ignored
  }
}

void ChannelServer::SetAudioLoss(int percent, uint32_t seed) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_audioLossPercent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  m_lossState = seed;
  if (m_audioLossPercent)
    Log("test switch: dropping " + std::to_string(m_audioLossPercent) + "% of audio packets");
}

ChannelServer::AudioCounts ChannelServer::Audio() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_audio;
}

void ChannelServer::OnJoin(const std::shared_ptr<Connection>& connection,
                           const std::string& payload) {
  Reader reader(payload.data(), payload.size());
  uint8_t profile = 0, role = 0;
  uint32_t uid = 0;
  std::string channel, token, appId;
  if (!reader.U8(profile) || !reader.U8(role) || !reader.U32(uid) || !reader.Text(channel) ||
      !reader.Text(token) || !reader.Text(appId))
    return;
  std::lock_guard<std::mutex> guard(m_lock);
  auto refuse = [&](uint32_t code, const std::string& text) {
    Log("refuse channel=" + channel + " uid=" + std::to_string(uid) + ": " + text);
    Send(connection,
         std::make_shared<const std::string>(Writer(kJoinRefused).U32(code).Text(text).Finish()), 0,
         false);
  };
  if (connection->joined)
    return refuse(17, "already in channel " + connection->channel);
  if (channel.empty() || channel.size() > kMaxChannelName)
    return refuse(102, "invalid channel name");
  auto& members = m_channels[channel];
  if (uid == 0) {
    do {
      uid = m_nextUid++;
    } while (uid == 0 || members.count(uid));
  } else if (members.count(uid)) {
    if (members.empty())
      m_channels.erase(channel);
    return refuse(17, "uid " + std::to_string(uid) + " is already in channel " + channel);
  }
  Member self;
  self.connection = connection;
  self.profile = profile;
  self.role = role;
  connection->channel = channel;
  connection->uid = uid;
  connection->joined = true;
  Log("join channel=" + channel + " uid=" + std::to_string(uid) + " role=" + std::to_string(role));
  Send(connection, std::make_shared<const std::string>(Writer(kJoined).U32(uid).Finish()), 0,
       false);
  auto note = std::make_shared<const std::string>(Writer(kUserJoined).U32(uid).Finish());
  for (auto& entry : members) {
    if (entry.second.Visible())
      Send(connection,
           std::make_shared<const std::string>(Writer(kUserJoined).U32(entry.first).Finish()),
           entry.first, false);
    if (self.Visible())
      Send(entry.second.connection, note, uid, false);
  }
  members[uid] = self;
}

void ChannelServer::RemoveMember(const std::shared_ptr<Connection>& connection, uint32_t reason) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (!connection->joined)
    return;
  connection->joined = false;
  auto channel = m_channels.find(connection->channel);
  if (channel == m_channels.end())
    return;
  auto self = channel->second.find(connection->uid);
  if (self == channel->second.end())
    return;
  bool visible = self->second.Visible();
  channel->second.erase(self);
  LogUnloggedRoles(*connection);
  Log(std::string(reason == 0 ? "leave" : "drop") + " channel=" + connection->channel +
      " uid=" + std::to_string(connection->uid));
  if (visible) {
    auto note = std::make_shared<const std::string>(
        Writer(kUserOffline).U32(connection->uid).U32(reason).Finish());
    for (auto& entry : channel->second)
      Send(entry.second.connection, note, connection->uid, false);
  }
  if (channel->second.empty())
    m_channels.erase(channel);
}

void ChannelServer::Send(const std::shared_ptr<Connection>& connection,
                         std::shared_ptr<const std::string> bytes,
                         uint32_t about,
                         bool roleNote) {
  if (connection->Queue(std::move(bytes), false, about, roleNote) == Connection::Queued::kDropped)
    Log("member uid=" + std::to_string(connection->uid) + " is more than " +
        std::to_string(kDropQueuedBytes) + " bytes behind; dropping it");
}

void ChannelServer::LogRole(Connection& connection, int role) {
  DWORD now = GetTickCount();
  if (now - connection.roleLogStart >= 1000) {
    LogUnloggedRoles(connection);
    connection.roleLogStart = now;
    connection.roleLines = 0;
  }
  if (connection.roleLines >= kRoleLinesPerSecond) {
    ++connection.roleUnlogged;
    return;
  }
  ++connection.roleLines;
  Log("role channel=" + connection.channel + " uid=" + std::to_string(connection.uid) +
      " role=" + std::to_string(role));
}

void ChannelServer::LogUnloggedRoles(Connection& connection) {
  if (connection.roleUnlogged == 0)
    return;
  Log("role channel=" + connection.channel + " uid=" + std::to_string(connection.uid) + ": " +
      std::to_string(connection.roleUnlogged) + " more role changes not logged");
  connection.roleUnlogged = 0;
}

std::vector<uint32_t> ChannelServer::Users(const std::string& channel) {
  std::lock_guard<std::mutex> guard(m_lock);
  std::vector<uint32_t> uids;
  auto it = m_channels.find(channel);
  if (it != m_channels.end()) {
    for (auto& entry : it->second)
      uids.push_back(entry.first);
  }
  return uids;
}

}  // namespace channel_server
