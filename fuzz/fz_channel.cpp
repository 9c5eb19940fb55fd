// Channel protocol: the framer over arbitrary splits, every message decoded the way the server
// and the engine decode it, and the frame rule. Oracles: the framer hands out exactly the
// messages a plain walk over all the bytes at once finds, stops where that walk stops and keeps
// exactly the bytes of the cut message at the end; a frame the rule accepts needs exactly the
// pixel bytes it carries, and that size is the same in 32-bit size arithmetic (what the shipped
// 32-bit build computes), so no accepted frame can wrap.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "channel_protocol.h"

using namespace channel_protocol;

namespace {

// The 32-bit build's arithmetic: size_t is 32 bits there.
uint32_t FrameBytes32(uint32_t width, uint32_t height) {
  uint32_t stride = (width * 3u + 3u) & ~3u;
  return stride * height;
}

void CheckFrameMessage(Reader& reader, bool withUid) {
  uint32_t uid = 0;
  uint16_t width = 0, height = 0;
  if (withUid && !reader.U32(uid))
    return;
  if (!reader.U16(width) || !reader.U16(height))
    return;
  size_t size = 0;
  const char* pixels = reader.Rest(size);
  if (CheckFrame(width, height, size) != FrameCheck::kOk)
    return;
  uint64_t needed = FrameBytes(width, height);
  if (needed != size || FrameBytes32(width, height) != needed || width > kMaxFrameWidth ||
      height > kMaxFrameHeight || width == 0 || height == 0)
    abort();
  // What drawing reads: every row of the frame, inside the payload.
  volatile char sink = 0;
  if (size > 0)
    sink = pixels[needed - 1];
  (void)sink;
}

struct Walk {
  std::vector<std::pair<uint8_t, std::string>> messages;
  bool bad = false;  // stopped at a length that is zero or too large
  size_t rest = 0;   // bytes after the last whole message (when not bad)
};

// The messages in |bytes| as one buffer, walked the plain way.
Walk WalkAll(const char* bytes, size_t size) {
  Walk walk;
  size_t at = 0;
  while (size - at >= 4) {
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
      n |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    if (n == 0 || n > kMaxMessageSize) {
      walk.bad = true;
      return walk;
    }
    if (size - at - 4 < n)
      break;
    walk.messages.emplace_back(static_cast<uint8_t>(bytes[at + 4]),
                               std::string(bytes + at + 5, n - 1));
    at += 4 + static_cast<size_t>(n);
  }
  walk.rest = size - at;
  return walk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  // The first byte chooses the chunk size the bytes arrive in: small ones, or up to 64 KiB.
  size_t chunk = data[0] < 192 ? 1 + data[0] % 64 : 1 + (data[0] - 192) * 1024u;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  size_t left = size - 1;
  const Walk expected = WalkAll(bytes, left);
  size_t taken = 0;
  Framer framer;
  while (left > 0) {
    size_t n = left < chunk ? left : chunk;
    framer.Append(bytes, n);
    bytes += n;
    left -= n;
    uint8_t type = 0;
    std::string payload;
    int result;
    while ((result = framer.Next(type, payload)) == 1) {
      if (payload.size() + 1 > kMaxMessageSize)
        abort();
      if (taken >= expected.messages.size() || expected.messages[taken].first != type ||
          expected.messages[taken].second != payload)
        abort();
      ++taken;
      Reader reader(payload.data(), payload.size());
      switch (type) {
        case kJoin: {
          uint8_t profile, role;
          uint32_t uid;
          std::string channel, token, appId;
          if (reader.U8(profile) && reader.U8(role) && reader.U32(uid) && reader.Text(channel) &&
              reader.Text(token) && reader.Text(appId) &&
              channel.size() + token.size() + appId.size() + 12 > payload.size())
            abort();
          break;
        }
        case kVideoFrame:
          CheckFrameMessage(reader, false);
          break;
        case kRemoteFrame:
          CheckFrameMessage(reader, true);
          break;
        case kJoinRefused: {
          uint32_t code;
          std::string text;
          reader.U32(code) && reader.Text(text);
          break;
        }
        default: {
          uint32_t a, b;
          reader.U32(a) && reader.U32(b);
          break;
        }
      }
    }
    if (result < 0) {
      if (!expected.bad || taken != expected.messages.size())
        abort();
      return 0;
    }
  }
  if (expected.bad || taken != expected.messages.size() || framer.Pending() != expected.rest)
    abort();
  return 0;
}
