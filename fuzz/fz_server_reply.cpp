// Service replies: ReadServerReply by the JSON rules (jsoncpp's exceptions must not escape) and
// UnescapeText's escape rules. Oracles: UnescapeText never makes a text longer than the input
// plus what the %u conversions give, and a text without '%' comes back unchanged.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "web/server_reply.h"

namespace {
// Each %uXXXX unit as 2 bytes, as the OEM code page gives at most for one unit.
std::string TwoBytes(uint16_t unit) {
  return std::string(1, static_cast<char>(unit >> 8)) + static_cast<char>(unit & 0xFF);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);
  zarvik::ServerReply reply = zarvik::ReadServerReply(body, "switch");
  zarvik::ReadServerReply(body, "isAllow");
  std::string text = reply.valid ? reply.msg : body;
  std::string out = zarvik::UnescapeTextWith(text, TwoBytes);
  if (out.size() > text.size())
    abort();  // every escape is at least as long as what it becomes
  if (text.find('%') == std::string::npos && out != text)
    abort();
  return 0;
}
