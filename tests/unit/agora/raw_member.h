// A channel member that speaks the channel protocol over a plain socket, without an engine: it
// sends exactly the bytes a test gives it (forged frames too) and reads what the server relays.
#pragma once

#include <winsock2.h>

#include <stdint.h>

#include <string>

#include "channel_protocol.h"

namespace zarvik_test {

class RawMember {
 public:
  // receiveBuffer > 0 sets a small receive window, so a member that never reads is full soon.
  explicit RawMember(uint16_t port, int receiveBuffer = 0) {
    m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (receiveBuffer > 0)
      setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
                 sizeof(receiveBuffer));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      closesocket(m_socket);
      m_socket = INVALID_SOCKET;
    }
  }
  // The server's end of a connection a test accepted itself (it plays the channel server).
  explicit RawMember(SOCKET accepted) : m_socket(accepted) {}
  ~RawMember() {
    if (m_socket != INVALID_SOCKET)
      closesocket(m_socket);
  }
  RawMember(const RawMember&) = delete;
  RawMember& operator=(const RawMember&) = delete;

  bool connected() const { return m_socket != INVALID_SOCKET; }
  SOCKET socket_handle() const { return m_socket; }

  bool Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      int n = send(m_socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
      if (n <= 0)
        return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  // Joins (by default as a visible member: communication profile); the uid the server answered,
  // 0 if none.
  uint32_t Join(const std::string& channel,
                uint32_t uid,
                int profile = channel_protocol::kProfileCommunication,
                int role = channel_protocol::kRoleBroadcaster) {
    using namespace channel_protocol;
    if (!Send(Writer(kJoin)
                  .U8(static_cast<uint8_t>(profile))
                  .U8(static_cast<uint8_t>(role))
                  .U32(uid)
                  .Text(channel)
                  .Text("")
                  .Text("app")
                  .Finish()))
      return 0;
    std::string payload;
    if (!WaitFor(kJoined, payload, 5000))
      return 0;
    Reader reader(payload.data(), payload.size());
    uint32_t joined = 0;
    return reader.U32(joined) ? joined : 0;
  }

  // The next message of this type (others are skipped), waiting up to timeoutMs in all.
  bool WaitFor(uint8_t type, std::string& payload, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
      uint8_t got = 0;
      DWORD elapsed = GetTickCount() - start;
      if (!Next(got, payload, elapsed >= timeoutMs ? 0 : timeoutMs - elapsed))
        return false;
      if (got == type)
        return true;
    }
  }

  // Reads and forgets whatever has arrived, without waiting.
  void Drain() {
    uint8_t type;
    std::string payload;
    while (Next(type, payload, 0)) {
    }
  }

  // The next message, waiting up to timeoutMs.
  bool Next(uint8_t& type, std::string& payload, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
      int result = m_framer.Next(type, payload);
      if (result < 0)
        return false;
      if (result == 1)
        return true;
      DWORD elapsed = GetTickCount() - start;
      DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(m_socket, &readable);
      timeval timeout = {static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
      if (select(0, &readable, nullptr, nullptr, &timeout) <= 0)
        return false;
      char buffer[64 * 1024];
      int n = recv(m_socket, buffer, sizeof(buffer), 0);
      if (n <= 0)
        return false;
      m_framer.Append(buffer, static_cast<size_t>(n));
    }
  }

 private:
  SOCKET m_socket = INVALID_SOCKET;
  channel_protocol::Framer m_framer;
};

}  // namespace zarvik_test
