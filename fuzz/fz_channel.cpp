// Channel protocol: the framer over arbitrary splits, every message decoded the way the server
// and the engine decode it, and the frame rule. Oracle: a frame the rule accepts needs exactly
// the pixel bytes it carries, and that size is the same in 32-bit size arithmetic (what the
// shipped 32-bit build computes), so no accepted frame can wrap.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  // The first byte chooses the chunk size the bytes arrive in.
  size_t chunk = 1 + data[0] % 64;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  size_t left = size - 1;
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
    if (result < 0)
      return 0;
  }
  return 0;
}
