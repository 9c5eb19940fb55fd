// Voice relay: video frames per second the channel server relays when 2, 4 and 8 clients in one
// channel all broadcast 160 x 120 frames, against a bare loopback TCP relay of the same bytes (a
// thread per connection that reads each frame and sends it straight on to every other client with
// blocking sends). Both servers run in this process; the clients are threads here too.
//
// Every sender keeps at most kWindow frames ahead of its slowest receiver, so neither server ever
// holds more than a few frames per member: the channel server never reaches its skipping limit and
// the figure counts only delivered frames. Ours and the floor take turns so both see the same load.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_clock.h"
#include "channel_protocol.h"
#include "channel_server.h"

namespace {

using namespace channel_protocol;
using zarvik_bench::Now;
using zarvik_bench::Stats;
using zarvik_bench::Summarise;

constexpr uint16_t kWidth = 160, kHeight = 120;
constexpr int kWindow = 4;
constexpr int kRounds = 5;
constexpr double kWaitSeconds = 10;

bool SendAll(SOCKET socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    int n = send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0)
      return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Readers wait at most this long in recv, then look at their stop flag: a recv blocked in one
// thread is not reliably woken by a shutdown from another.
void SetReceiveTimeout(SOCKET s) {
  DWORD ms = 200;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof(ms));
}

// recv that retries after its time-out until `stop` is set.
int Receive(SOCKET s, char* buffer, int size, const std::atomic<bool>& stop) {
  for (;;) {
    int n = recv(s, buffer, size, 0);
    if (n >= 0 || WSAGetLastError() != WSAETIMEDOUT || stop)
      return n;
  }
}

SOCKET Connect(uint16_t port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  BOOL noDelay = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
             sizeof(noDelay));
  SetReceiveTimeout(s);
  return s;
}

// The floor: reads each framed message and sends the relayed frame on to every other connection.
class BareRelay {
 public:
  explicit BareRelay(int clients) : m_clients(clients) {
    m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    listen(m_listener, SOMAXCONN);
    int size = sizeof(address);
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
    m_port = ntohs(address.sin_port);
  }
  ~BareRelay() {
    m_stop = true;
    closesocket(m_listener);
    for (auto& c : m_connections)
      shutdown(c->socket, SD_BOTH);
    for (auto& t : m_threads)
      t.join();
    for (auto& c : m_connections)
      closesocket(c->socket);
  }
  uint16_t port() const { return m_port; }
  // Accepts the next client (clients connect one at a time, so the order gives the uid).
  bool AcceptOne() {
    SOCKET s = accept(m_listener, nullptr, nullptr);
    if (s == INVALID_SOCKET)
      return false;
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof(noDelay));
    SetReceiveTimeout(s);
    auto c = std::make_shared<Connection>();
    c->socket = s;
    c->uid = static_cast<uint32_t>(m_connections.size() + 1);
    m_connections.push_back(c);
    if (static_cast<int>(m_connections.size()) == m_clients) {
      for (auto& each : m_connections)
        m_threads.emplace_back(&BareRelay::Serve, this, each);
    }
    return true;
  }

 private:
  struct Connection {
    SOCKET socket = INVALID_SOCKET;
    uint32_t uid = 0;
    std::mutex sendLock;
  };
  void Serve(std::shared_ptr<Connection> self) {
    Framer framer;
    std::vector<char> buffer(64 * 1024);
    std::string payload;
    uint8_t type = 0;
    for (;;) {
      int n = Receive(self->socket, buffer.data(), static_cast<int>(buffer.size()), m_stop);
      if (n <= 0)
        return;
      framer.Append(buffer.data(), static_cast<size_t>(n));
      while (framer.Next(type, payload) == 1) {
        if (type != kVideoFrame || payload.size() < 4)
          continue;
        std::string relay =
            Writer(kRemoteFrame).U32(self->uid).Bytes(payload.data(), payload.size()).Finish();
        for (auto& other : m_connections) {
          if (other == self)
            continue;
          std::lock_guard<std::mutex> guard(other->sendLock);
          SendAll(other->socket, relay);
        }
      }
    }
  }
  int m_clients;
  std::atomic<bool> m_stop{false};
  SOCKET m_listener = INVALID_SOCKET;
  uint16_t m_port = 0;
  std::vector<std::shared_ptr<Connection>> m_connections;
  std::vector<std::thread> m_threads;
};

// The clients of one round: each sends `frames` frames and counts what it receives from whom.
class Round {
 public:
  explicit Round(int clients)
      : m_clients(clients), m_received(clients * clients, 0), m_others(clients, 0) {}

  bool Connect(uint16_t port, bool join, BareRelay* bare) {
    for (int i = 0; i < m_clients; ++i) {
      SOCKET s = ::Connect(port);
      if (s == INVALID_SOCKET || (bare && !bare->AcceptOne())) {
        std::printf("client %d cannot connect\n", i);
        if (s != INVALID_SOCKET)
          m_sockets.push_back(s);
        return false;
      }
      m_sockets.push_back(s);
      m_readers.emplace_back(&Round::Read, this, i, s);
      if (join) {
        // Communication profile, broadcaster, uid i + 1: every member sees every other one.
        std::string message = Writer(kJoin).U8(kProfileCommunication).U8(kRoleBroadcaster)
                                  .U32(static_cast<uint32_t>(i + 1)).Text("bench").Text("")
                                  .Text("").Finish();
        if (!SendAll(s, message))
          return false;
      }
    }
    if (!join)
      return true;
    // Ready when every member has been told of every other one.
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::duration<double>(kWaitSeconds), [this] {
      return std::all_of(m_others.begin(), m_others.end(),
                         [this](int n) { return n >= m_clients - 1; });
    });
  }

  // Seconds until every client received every other client's `frames` frames; negative on a
  // failure or when frames went missing.
  double Run(int frames) {
    std::string pixels(static_cast<size_t>(FrameBytes(kWidth, kHeight)), '\x5a');
    std::atomic<bool> failed{false};
    const double start = Now();
    std::vector<std::thread> senders;
    for (int i = 0; i < m_clients; ++i) {
      senders.emplace_back([&, i] {
        for (int f = 0; f < frames && !failed; ++f) {
          {
            std::unique_lock<std::mutex> guard(m_lock);
            if (!m_changed.wait_for(guard, std::chrono::duration<double>(kWaitSeconds),
                                    [&] { return SlowestReceiver(i) >= f - kWindow; })) {
              failed = true;
              break;
            }
          }
          std::string frame = Writer(kVideoFrame).U16(kWidth).U16(kHeight)
                                  .Bytes(pixels.data(), pixels.size()).Finish();
          if (!SendAll(m_sockets[i], frame))
            failed = true;
        }
      });
    }
    bool complete;
    {
      std::unique_lock<std::mutex> guard(m_lock);
      complete = m_changed.wait_for(guard, std::chrono::duration<double>(kWaitSeconds), [&] {
        for (int i = 0; i < m_clients; ++i)
          if (SlowestReceiver(i) < frames)
            return false;
        return true;
      });
    }
    const double seconds = Now() - start;
    if (!complete)
      failed = true;
    {
      std::lock_guard<std::mutex> guard(m_lock);
      m_changed.notify_all();  // senders waiting for a window give up once `failed` is seen
    }
    for (auto& t : senders)
      t.join();
    return failed ? -1 : seconds;
  }

  ~Round() {
    m_stop = true;
    for (SOCKET s : m_sockets)
      shutdown(s, SD_BOTH);
    for (auto& t : m_readers)
      t.join();
    for (SOCKET s : m_sockets)
      closesocket(s);
  }

 private:
  // Frames of sender i that its slowest receiver has (called with m_lock held).
  long SlowestReceiver(int i) const {
    long slowest = -1;
    for (int j = 0; j < m_clients; ++j) {
      if (j == i)
        continue;
      long n = m_received[j * m_clients + i];
      if (slowest < 0 || n < slowest)
        slowest = n;
    }
    return slowest;
  }

  void Read(int me, SOCKET socket) {
    Framer framer;
    std::vector<char> buffer(64 * 1024);
    std::string payload;
    uint8_t type = 0;
    for (;;) {
      int n = Receive(socket, buffer.data(), static_cast<int>(buffer.size()), m_stop);
      if (n <= 0)
        return;
      framer.Append(buffer.data(), static_cast<size_t>(n));
      while (framer.Next(type, payload) == 1) {
        Reader reader(payload.data(), payload.size());
        uint32_t uid = 0;
        if ((type != kRemoteFrame && type != kUserJoined) || !reader.U32(uid) || uid == 0 ||
            uid > static_cast<uint32_t>(m_clients))
          continue;
        std::lock_guard<std::mutex> guard(m_lock);
        if (type == kUserJoined)
          ++m_others[me];
        else
          ++m_received[me * m_clients + static_cast<int>(uid - 1)];
        m_changed.notify_all();
      }
    }
  }

  int m_clients;
  std::atomic<bool> m_stop{false};
  std::vector<SOCKET> m_sockets;
  std::vector<std::thread> m_readers;
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::vector<long> m_received;  // [receiver * clients + sender]
  std::vector<int> m_others;     // members each client was told about
};

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::vector<int> sizes = {2, 4, 8};
  if (argc >= 2)  // a chosen number of clients only
    sizes = {std::max(2, std::atoi(argv[1]))};
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  bool complete = true;
  for (int clients : sizes) {
    // About 840 relayed frames a round whatever the number of clients.
    const int frames = std::max(15, 840 / (clients * (clients - 1)));
    const double relayed = static_cast<double>(clients) * (clients - 1) * frames;
    std::vector<double> ours, bare;
    channel_server::ChannelServer server;
    server.SetLogSink([](const std::string&) {});
    if (!server.Start("127.0.0.1", 0)) {
      std::printf("the channel server cannot listen\n");
      return 1;
    }
    bool ok = true;
    for (int round = 0; round < kRounds && ok; ++round) {
      {
        Round r(clients);
        double seconds = r.Connect(server.port(), true, nullptr) ? r.Run(frames) : -1;
        if (seconds <= 0) {
          std::printf("%d clients: the channel server did not relay every frame\n", clients);
          ok = false;
          break;
        }
        ours.push_back(relayed / seconds);
      }
      {
        BareRelay relay(clients);
        Round r(clients);
        double seconds = r.Connect(relay.port(), false, &relay) ? r.Run(frames) : -1;
        if (seconds <= 0) {
          std::printf("%d clients: the bare relay did not deliver every frame\n", clients);
          ok = false;
          break;
        }
        bare.push_back(relayed / seconds);
      }
    }
    server.Stop();
    if (!ok) {
      complete = false;
      continue;
    }
    Stats o = Summarise(ours), b = Summarise(bare);
    std::printf("%d clients, %d frames each of %dx%d (%u bytes) to every other: channel server "
                "%.0f frames/s, bare relay %.0f frames/s (medians of %d)\n",
                clients, frames, kWidth, kHeight,
                static_cast<unsigned>(FrameBytes(kWidth, kHeight)), o.median, b.median, kRounds);
    std::printf("ROW\tvoice relay, %d clients: channel server vs bare loopback TCP relay"
                "\tframes/s\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t>=0.5\n",
                clients, o.median, o.min, o.max, b.median, b.min, b.max);
  }
  WSACleanup();
  return complete ? 0 : 1;
}
