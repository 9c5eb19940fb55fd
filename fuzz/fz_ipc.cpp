// Renderer pipe frames: ReadIpcFrame over a stream cut into arbitrary reads, then the payload
// through IpcReader and the display-list decoder. Oracle: memory for a frame grows only with
// the bytes that arrived (at most twice them plus one read chunk), and a decoded frame
// encodes back to the bytes it came from.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "src/common/ipc_frames.h"

using namespace cefimpl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  size_t readSize = 1 + data[0] * 97;  // how much one read returns at most
  const char* stream = reinterpret_cast<const char*>(data + 1);
  size_t total = size - 1;
  size_t pos = 0;
  for (int frames = 0; frames < 64; ++frames) {
    size_t start = pos;
    IpcMessage message;
    auto readSome = [&](char* buffer, size_t capacity) -> size_t {
      size_t n = total - pos;
      if (n > capacity)
        n = capacity;
      if (n > readSize)
        n = readSize;
      memcpy(buffer, stream + pos, n);
      pos += n;
      return n;
    };
    bool ok = ReadIpcFrame(readSome, &message);
    size_t consumed = pos - start;
    if (message.payload.capacity() > 2 * consumed + kIpcReadChunk)
      abort();  // allocated ahead of the data
    if (!ok)
      break;
    if (EncodeIpcFrame(message) != std::string(stream + start, consumed))
      abort();
    IpcReader reader(message.payload);
    for (int i = 0; i < 8 && reader.ok(); ++i) {
      switch (reader.Int() & 3) {
        case 0:
          reader.Int64();
          break;
        case 1:
          reader.Double();
          break;
        default:
          reader.Str();
          break;
      }
    }
    std::string title;
    std::vector<DisplayItemUtf8> items;
    DecodeDisplayListUtf8(message.payload, &title, &items);
    if (items.size() > message.payload.size() / 12)
      abort();  // each item needs at least 12 bytes
  }
  return 0;
}
