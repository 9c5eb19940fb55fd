// The loopback channel server of the voice engine: keeps channels and their users, tells each
// user who joins and leaves, and relays the broadcasters' video frames to the other users.
#pragma once

#include <winsock2.h>

#include <stdint.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace channel_server {

class ChannelServer {
 public:
  ChannelServer();
  ~ChannelServer();
  ChannelServer(const ChannelServer&) = delete;
  ChannelServer& operator=(const ChannelServer&) = delete;

  // Listens on host:port (port 0: any free port) and serves on its own threads.
  bool Start(const std::string& host, uint16_t port);
  // Closes the listener and every connection; the engines see their connection drop.
  void Stop();
  uint16_t port() const { return m_port; }

  // How far one member may fall behind (bytes queued for it) before the video frames relayed to
  // it are skipped; the messages about who joins and leaves are still queued ...
  static constexpr size_t kMaxQueuedBytes = 8u * 1024u * 1024u;
  // ... until it is this far behind: then the member is dropped. Each queued message counts its
  // bytes plus kQueuedMessageCost, about what keeping a small message in the queue costs.
  static constexpr size_t kDropQueuedBytes = kMaxQueuedBytes + 4u * 1024u * 1024u;
  static constexpr size_t kQueuedMessageCost = 64;
  // Role changes logged per member in one second; the rest are counted in one line when the
  // second is over (at the member's next role change or when it leaves).
  static constexpr int kRoleLinesPerSecond = 5;

  // Audio is queued apart from everything else and sent first, so it never waits behind video
  // (beyond the one message being written). A member whose audio queue holds this many packets
  // (half a second) loses the oldest one for each new one: old audio goes first.
  static constexpr size_t kMaxQueuedAudio = 25;

  // Test switch: drop this share (0 to 100 %) of the audio packets relayed, chosen by a
  // pseudo-random sequence from seed, to try the engines' loss handling.
  void SetAudioLoss(int percent, uint32_t seed = 1);
  struct AudioCounts {
    uint64_t relayed = 0;     // packets queued for a receiver
    uint64_t lost = 0;        // packets the test switch dropped
    uint64_t refused = 0;     // empty or oversize packets from a member
    uint64_t oldDropped = 0;  // packets dropped from a member's full audio queue
  };
  AudioCounts Audio();

  // The users of a channel, in uid order (for tests and the server's own log).
  std::vector<uint32_t> Users(const std::string& channel);
  // Each line the server logs goes here (default: standard output).
  void SetLogSink(std::function<void(const std::string&)> sink);

 private:
  struct Connection;
  struct Member {
    std::shared_ptr<Connection> connection;
    int profile = 1;
    int role = 2;
    bool Visible() const;
  };

  void AcceptLoop();
  void Serve(std::shared_ptr<Connection> connection);
  void Handle(const std::shared_ptr<Connection>& connection,
              uint8_t type,
              const std::string& payload);
  void OnJoin(const std::shared_ptr<Connection>& connection, const std::string& payload);
  void RemoveMember(const std::shared_ptr<Connection>& connection, uint32_t reason);
  // Queues a message of the server (not a video frame) for a member, with m_lock held; |about|
  // is the member a note about who joins and leaves is about (0 for the member's own replies).
  void Send(const std::shared_ptr<Connection>& connection,
            std::shared_ptr<const std::string> bytes,
            uint32_t about,
            bool roleNote);
  void LogRole(Connection& connection, int role);
  void LogUnloggedRoles(Connection& connection);
  void Log(const std::string& line);

  SOCKET m_listener = INVALID_SOCKET;
  uint16_t m_port = 0;
  std::thread m_acceptThread;
  std::mutex m_lock;  // guards everything below
  std::map<std::string, std::map<uint32_t, Member>> m_channels;
  std::vector<std::shared_ptr<Connection>> m_connections;
  // One reader thread per connection; finished ones are joined when the next client comes.
  std::vector<std::pair<std::shared_ptr<Connection>, std::thread>> m_threads;
  uint32_t m_nextUid = 0;
  std::function<void(const std::string&)> m_logSink;
  bool m_stopping = false;
  int m_audioLossPercent = 0;
  uint32_t m_lossState = 1;
  AudioCounts m_audio;
};

}  // namespace channel_server
