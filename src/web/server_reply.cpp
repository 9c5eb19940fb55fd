#include "web/server_reply.h"

#include <json/json.h>

#include <exception>
#include <memory>

namespace {

int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c <= 'Z')
    return c - 55;
  return c - 87;
}

// Booleans of the replies: true for true, non-zero numbers, non-empty strings, arrays and
// objects; false for everything else.
bool ReadAsFlag(const Json::Value& value) {
  switch (value.type()) {
    case Json::booleanValue:
      return value.asBool();
    case Json::intValue:
    case Json::uintValue:
    case Json::realValue:
      return value.asDouble() != 0.0;
    case Json::stringValue:
      return !value.asString().empty();
    case Json::arrayValue:
    case Json::objectValue:
      return value.size() != 0;
    default:
      return false;
  }
}

}  // namespace

namespace zarvik {

ServerReply ReadServerReply(const std::string& body, const char* flagMember) {
  ServerReply reply;
  // The JSON library reports unreadable input and impossible conversions (a "status" that is an
  // array or out of the int range, nesting beyond its depth limit) by throwing; all of them make
  // the reply unusable.
  try {
    Json::CharReaderBuilder builder;  // default features: comments allowed, any value on top
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    if (!reader->parse(body.data(), body.data() + body.size(), &root, &errors))
      return reply;
    const Json::Value& top = root;
    if (!top.isObject())
      return reply;
    reply.status = top["status"].asInt();
    reply.msg = top["msg"].asString();
    reply.flag = ReadAsFlag(top[flagMember]);
    reply.valid = true;
  } catch (const std::exception&) {
    reply.valid = false;
  }
  return reply;
}

std::string UnescapeTextWith(const std::string& text, std::string (*unitText)(uint16_t unit)) {
  std::string out;
  out.reserve(text.size());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c != '%') {
      out.push_back(text[i++]);
      continue;
    }
    if (i + 1 < n && text[i + 1] == 'u') {
      if (i + 5 < n) {
        unsigned value = 0;
        for (size_t k = i + 2; k < i + 6; ++k)
          value = value * 16 + HexDigit(static_cast<unsigned char>(text[k]));
        out += unitText(static_cast<uint16_t>(value & 0xFFFF));
        i += 6;
      } else {
        out.append(text, i, std::string::npos);  // "%u" cut short by the end
        break;
      }
      continue;
    }
    if (i + 2 < n) {
      int value = HexDigit(static_cast<unsigned char>(text[i + 1])) * 16 +
                  HexDigit(static_cast<unsigned char>(text[i + 2]));
      out.push_back(static_cast<char>(value & 0xFF));
      i += 3;
    } else {
      out.append(text, i, std::string::npos);  // "%" or "%X" at the end
      break;
    }
  }
  return out;
}

}  // namespace zarvik
