// Reading the service's replies: the JSON rules of the update switch and permission replies,
// and the escapes of their message texts. No <windows.h>: these build alone and are fuzzed.
#pragma once

#include <cstdint>
#include <string>

namespace zarvik {

// What a reply body says, read by the JSON rules. `valid` is false when the body is not a JSON
// object or a member cannot be read as its type; the other fields are then meaningless.
struct ServerReply {
  bool valid = false;
  int status = 0;
  std::string msg;    // as sent, still escaped
  bool flag = false;  // "switch" or "isAllow"
};
ServerReply ReadServerReply(const std::string& body, const char* flagMember);

// UnescapeText's rules with the conversion of a "%uXXXX" code unit given (the client converts
// it to the OEM code page).
std::string UnescapeTextWith(const std::string& text, std::string (*unitText)(uint16_t unit));

}  // namespace zarvik
