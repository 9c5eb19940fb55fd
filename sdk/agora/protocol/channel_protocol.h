// The wire protocol between the voice engine and the channel server, shared by both sides.
//
// Every message is framed as: 4-byte little-endian length of what follows, 1 byte type, payload.
// Integers are little-endian; texts are a 2-byte length followed by that many bytes (UTF-8).
// Video frames are 24-bit BGR rows, bottom-up, each row padded to 4 bytes (a DIB's layout).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace channel_protocol {

enum MessageType : uint8_t {
  // engine -> server
  kJoin = 1,        // profile u8, role u8, uid u32, channel text, token text, app id text
  kLeave = 2,       // nothing
  kSetRole = 3,     // role u8
  kVideoFrame = 4,  // width u16, height u16, pixels
  kAudioFrame = 5,  // sequence u32, one Opus packet (20 ms)
  // server -> engine
  kJoined = 64,       // uid u32 (the one asked for, or the one the server gave)
  kJoinRefused = 65,  // code u32, message text
  kUserJoined = 66,   // uid u32
  kUserOffline = 67,  // uid u32, reason u32
  kRemoteFrame = 68,  // uid u32, width u16, height u16, pixels
  kRemoteAudio = 69,  // uid u32, sequence u32, one Opus packet
};

// Largest message either side accepts; a larger length ends the connection.
constexpr uint32_t kMaxMessageSize = 4u * 1024u * 1024u;
constexpr size_t kMaxChannelName = 64;
constexpr int kRoleBroadcaster = 1;
constexpr int kRoleAudience = 2;
constexpr int kProfileCommunication = 0;

// Video frames: the sides each side sends and accepts, and the exact payload a frame needs.
// The engine sends 160 x 120; a side longer than these is refused, so the largest frame (2,764,800
// bytes) still fits in one message. All sizes are worked out in 64 bits: in the 32-bit build a
// size_t product of two 16-bit sides can wrap to a few bytes.
constexpr uint32_t kMaxFrameWidth = 1280;
constexpr uint32_t kMaxFrameHeight = 720;

// Bytes of one row: 3 bytes a pixel, padded to a multiple of 4. Sides are 16-bit on the wire, so
// neither size can reach 64 bits.
constexpr uint64_t FrameStride(uint16_t width) {
  return (static_cast<uint64_t>(width) * 3 + 3) & ~static_cast<uint64_t>(3);
}
// Bytes of a whole frame of these sides.
constexpr uint64_t FrameBytes(uint16_t width, uint16_t height) {
  return FrameStride(width) * static_cast<uint64_t>(height);
}
static_assert(FrameBytes(kMaxFrameWidth, kMaxFrameHeight) + 13 <= kMaxMessageSize,
              "the largest accepted frame must fit in one relayed message");

// Audio packets: one Opus frame, which is never longer than 1275 bytes. Both sides drop (and
// count) an empty or longer packet before anything looks inside it.
constexpr uint32_t kMaxAudioPacket = 1275;

enum class AudioCheck {
  kOk,
  kEmpty,
  kTooLarge,
};

constexpr AudioCheck CheckAudioPacket(uint64_t packetBytes) {
  return packetBytes == 0                ? AudioCheck::kEmpty
         : packetBytes > kMaxAudioPacket ? AudioCheck::kTooLarge
                                         : AudioCheck::kOk;
}

inline const char* AudioCheckText(AudioCheck check) {
  switch (check) {
    case AudioCheck::kOk:
      return "ok";
    case AudioCheck::kEmpty:
      return "empty";
    case AudioCheck::kTooLarge:
      return "longer than 1275 bytes";
  }
  return "?";
}

enum class FrameCheck {
  kOk,
  kEmptySide,     // width or height is 0
  kTooLarge,      // a side is longer than the largest accepted
  kWrongPayload,  // the pixel bytes are not exactly what the sides need
};

// The one rule both the server and the engine apply to every frame they receive.
constexpr FrameCheck CheckFrame(uint32_t width, uint32_t height, uint64_t payloadBytes) {
  if (width == 0 || height == 0)
    return FrameCheck::kEmptySide;
  if (width > kMaxFrameWidth || height > kMaxFrameHeight)
    return FrameCheck::kTooLarge;
  if (payloadBytes != FrameBytes(static_cast<uint16_t>(width), static_cast<uint16_t>(height)))
    return FrameCheck::kWrongPayload;
  return FrameCheck::kOk;
}

inline const char* FrameCheckText(FrameCheck check) {
  switch (check) {
    case FrameCheck::kOk:
      return "ok";
    case FrameCheck::kEmptySide:
      return "a side is 0";
    case FrameCheck::kTooLarge:
      return "larger than 1280x720";
    case FrameCheck::kWrongPayload:
      return "pixel bytes do not match the size";
  }
  return "?";
}

// "22897x62525 with 4 bytes": how a refused frame is named in the logs.
inline std::string FrameText(uint32_t width, uint32_t height, uint64_t payloadBytes) {
  return std::to_string(width) + "x" + std::to_string(height) + " with " +
         std::to_string(payloadBytes) + " bytes";
}

class Writer {
 public:
  explicit Writer(MessageType type) : m_bytes(5, 0) { m_bytes[4] = type; }
  Writer& U8(uint8_t v) {
    m_bytes.push_back(static_cast<char>(v));
    return *this;
  }
  Writer& U16(uint16_t v) {
    for (int i = 0; i < 2; ++i)
      m_bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return *this;
  }
  Writer& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
      m_bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return *this;
  }
  // Texts longer than 65535 bytes are cut; callers validate lengths before.
  Writer& Text(const std::string& text) {
    size_t n = text.size() > 0xFFFF ? 0xFFFF : text.size();
    U16(static_cast<uint16_t>(n));
    m_bytes.append(text, 0, n);
    return *this;
  }
  Writer& Bytes(const void* data, size_t size) {
    m_bytes.append(static_cast<const char*>(data), size);
    return *this;
  }
  // The framed message, ready to send.
  std::string Finish() {
    uint32_t n = static_cast<uint32_t>(m_bytes.size() - 4);
    for (int i = 0; i < 4; ++i)
      m_bytes[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    return m_bytes;
  }

 private:
  std::string m_bytes;
};

// Reads one message's payload; every read fails once the payload is too short.
class Reader {
 public:
  Reader(const char* data, size_t size) : m_data(data), m_size(size) {}
  bool U8(uint8_t& v) {
    if (m_pos + 1 > m_size)
      return Fail();
    v = static_cast<uint8_t>(m_data[m_pos++]);
    return true;
  }
  bool U16(uint16_t& v) {
    if (m_pos + 2 > m_size)
      return Fail();
    v = static_cast<uint16_t>(Byte(0) | (Byte(1) << 8));
    m_pos += 2;
    return true;
  }
  bool U32(uint32_t& v) {
    if (m_pos + 4 > m_size)
      return Fail();
    v = Byte(0) | (Byte(1) << 8) | (Byte(2) << 16) | (Byte(3) << 24);
    m_pos += 4;
    return true;
  }
  bool Text(std::string& text) {
    uint16_t n = 0;
    if (!U16(n) || m_pos + n > m_size)
      return Fail();
    text.assign(m_data + m_pos, n);
    m_pos += n;
    return true;
  }
  // The rest of the payload.
  const char* Rest(size_t& size) {
    size = m_ok ? m_size - m_pos : 0;
    return m_data + m_pos;
  }
  bool ok() const { return m_ok; }

 private:
  uint32_t Byte(size_t i) const { return static_cast<uint8_t>(m_data[m_pos + i]); }
  bool Fail() {
    m_ok = false;
    return false;
  }
  const char* m_data;
  size_t m_size;
  size_t m_pos = 0;
  bool m_ok = true;
};

// Collects received bytes and hands out complete messages. Taken messages are not erased one by
// one: a read offset moves past them, and the bytes before it are dropped when more bytes come
// (or all at once when everything was taken), so a read of many small messages costs what its
// bytes cost.
class Framer {
 public:
  void Append(const char* data, size_t size) {
    if (m_read > 0) {
      m_buffer.erase(0, m_read);
      m_read = 0;
    }
    m_buffer.append(data, size);
  }
  // 1: a message was taken (type and payload set); 0: more bytes are needed; -1: the peer sent
  // a length that is zero or too large, and the connection must end.
  int Next(uint8_t& type, std::string& payload) {
    const size_t available = m_buffer.size() - m_read;
    if (available < 4)
      return 0;
    const char* message = m_buffer.data() + m_read;
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
      n |= static_cast<uint32_t>(static_cast<uint8_t>(message[i])) << (8 * i);
    if (n == 0 || n > kMaxMessageSize)
      return -1;
    if (available < 4 + static_cast<size_t>(n))
      return 0;
    type = static_cast<uint8_t>(message[4]);
    payload.assign(message + 5, n - 1);
    m_read += 4 + static_cast<size_t>(n);
    if (m_read == m_buffer.size()) {
      m_buffer.clear();
      m_read = 0;
    }
    return 1;
  }
  // Bytes received and not yet taken as messages.
  size_t Pending() const { return m_buffer.size() - m_read; }

 private:
  std::string m_buffer;
  size_t m_read = 0;  // where the next message starts in m_buffer
};

}  // namespace channel_protocol
