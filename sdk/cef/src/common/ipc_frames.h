// The pipe's framing and payload encoding, apart from the engine's types and from Windows so the
// decoders build anywhere (they are fuzzed natively). A frame is: uint32 size of what follows,
// uint32 type, int32 browser id, int64 frame id, then the payload written with IpcWriter
// (little-endian numbers, strings as uint32 byte count and UTF-8 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace cefimpl {

struct IpcMessage {
  uint32_t type = 0;
  int32_t browserId = 0;
  int64_t frameId = 0;
  std::string payload;
};

// What follows the size field is at least the 16 bytes of type and ids, and at most this.
constexpr uint32_t kIpcHeaderBytes = 16;
constexpr uint32_t kMaxIpcFrame = 64u << 20;
// A frame is read this many bytes at a time, so memory grows with the bytes that arrived and
// not with the size a peer announced.
constexpr size_t kIpcReadChunk = 64 * 1024;

inline bool IpcFrameSizeOk(uint32_t size) {
  return size >= kIpcHeaderBytes && size <= kMaxIpcFrame;
}

// Reads one frame through `readSome(buffer, capacity)`, which returns the bytes it put in the
// buffer (0: the stream ended or broke). False for a closed stream or a size out of range.
template <typename ReadSome>
bool ReadIpcFrame(ReadSome&& readSome, IpcMessage* message) {
  auto readExact = [&readSome](char* p, size_t size) {
    while (size > 0) {
      size_t got = readSome(p, size);
      if (got == 0 || got > size)
        return false;
      p += got;
      size -= got;
    }
    return true;
  };
  unsigned char sizeBytes[4];
  if (!readExact(reinterpret_cast<char*>(sizeBytes), 4))
    return false;
  uint32_t size = static_cast<uint32_t>(sizeBytes[0]) | (static_cast<uint32_t>(sizeBytes[1]) << 8) |
                  (static_cast<uint32_t>(sizeBytes[2]) << 16) |
                  (static_cast<uint32_t>(sizeBytes[3]) << 24);
  if (!IpcFrameSizeOk(size))
    return false;
  char header[kIpcHeaderBytes];
  if (!readExact(header, kIpcHeaderBytes))
    return false;
  std::memcpy(&message->type, header, 4);
  std::memcpy(&message->browserId, header + 4, 4);
  std::memcpy(&message->frameId, header + 8, 8);
  message->payload.clear();
  size_t left = size - kIpcHeaderBytes;
  while (left > 0) {
    size_t chunk = left < kIpcReadChunk ? left : kIpcReadChunk;
    size_t old = message->payload.size();
    message->payload.resize(old + chunk);
    if (!readExact(&message->payload[old], chunk))
      return false;
    left -= chunk;
  }
  return true;
}

// The whole frame with its size field, ready to write.
inline std::string EncodeIpcFrame(const IpcMessage& message) {
  std::string frame;
  uint32_t size = static_cast<uint32_t>(kIpcHeaderBytes + message.payload.size());
  frame.append(reinterpret_cast<const char*>(&size), 4);
  frame.append(reinterpret_cast<const char*>(&message.type), 4);
  frame.append(reinterpret_cast<const char*>(&message.browserId), 4);
  frame.append(reinterpret_cast<const char*>(&message.frameId), 8);
  frame.append(message.payload);
  return frame;
}

class IpcWriter {
 public:
  IpcWriter& Int(int32_t v) { return Raw(&v, sizeof(v)); }
  IpcWriter& Int64(int64_t v) { return Raw(&v, sizeof(v)); }
  IpcWriter& Double(double v) { return Raw(&v, sizeof(v)); }
  IpcWriter& Str(const std::string& s) {
    uint32_t n = static_cast<uint32_t>(s.size());
    Raw(&n, sizeof(n));
    m_data.append(s);
    return *this;
  }
  const std::string& data() const { return m_data; }

 private:
  IpcWriter& Raw(const void* p, size_t n) {
    m_data.append(static_cast<const char*>(p), n);
    return *this;
  }
  std::string m_data;
};

// Reads what IpcWriter wrote; a short or damaged payload reads as zeros and empty strings and
// makes ok() false.
class IpcReader {
 public:
  explicit IpcReader(const std::string& data) : m_data(data) {}
  int32_t Int() {
    int32_t v = 0;
    Raw(&v, sizeof(v));
    return v;
  }
  int64_t Int64() {
    int64_t v = 0;
    Raw(&v, sizeof(v));
    return v;
  }
  double Double() {
    double v = 0;
    Raw(&v, sizeof(v));
    return v;
  }
  std::string Str() {
    uint32_t n = 0;
    Raw(&n, sizeof(n));
    if (!m_ok || n > m_data.size() - m_pos) {
      m_ok = false;
      return std::string();
    }
    std::string s = m_data.substr(m_pos, n);
    m_pos += n;
    return s;
  }
  bool ok() const { return m_ok; }
  size_t remaining() const { return m_data.size() - m_pos; }
  void Fail() { m_ok = false; }

 private:
  void Raw(void* p, size_t n) {
    if (!m_ok || n > m_data.size() - m_pos) {
      m_ok = false;
      return;
    }
    std::memcpy(p, m_data.data() + m_pos, n);
    m_pos += n;
  }
  const std::string& m_data;
  size_t m_pos = 0;
  bool m_ok = true;
};

// One element of the painted document, with its text in UTF-8.
struct DisplayItemUtf8 {
  int kind = 0;
  std::string text;
  int element = -1;
};

// The display list's payload: str title, int count, count x (int kind, str text, int element).
// Items read before a damaged one are kept; false when the payload is damaged.
inline bool DecodeDisplayListUtf8(const std::string& payload,
                                  std::string* title,
                                  std::vector<DisplayItemUtf8>* items) {
  IpcReader r(payload);
  *title = r.Str();
  int32_t n = r.Int();
  items->clear();
  for (int32_t i = 0; i < n && r.ok(); ++i) {
    DisplayItemUtf8 item;
    item.kind = r.Int();
    item.text = r.Str();
    item.element = r.Int();
    if (r.ok())
      items->push_back(std::move(item));
  }
  return r.ok();
}

}  // namespace cefimpl
