#include "join_rules.h"

#include <string.h>

namespace agora_standin {

bool IsChannelNameCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ')
    return true;
  return c != '\0' && strchr("!#$%&()+-:;<=.>?@[]^_{|}~,", c) != nullptr;
}

int CheckJoinArguments(const char* token, const char* channelId) {
  const int kInvalidArgument = -2;
  if (!channelId || !*channelId)
    return kInvalidArgument;
  size_t length = strlen(channelId);
  if (length > kMaxChannelIdLength)
    return kInvalidArgument;
  for (size_t i = 0; i < length; ++i) {
    if (!IsChannelNameCharacter(channelId[i]))
      return kInvalidArgument;
  }
  if (token) {
    size_t tokenLength = strlen(token);
    if (tokenLength > kMaxTokenLength)
      return kInvalidArgument;
    for (size_t i = 0; i < tokenLength; ++i) {
      unsigned char c = static_cast<unsigned char>(token[i]);
      if (c < 0x21 || c > 0x7E)
        return kInvalidArgument;
    }
  }
  return 0;
}

namespace {

void SkipSpace(const std::string& s, size_t& i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n'))
    ++i;
}

bool ReadString(const std::string& s, size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"')
    return false;
  out.clear();
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      ++i;
      return true;
    }
    if (c == '\\') {
      if (++i >= s.size())
        return false;
      c = s[i];
      switch (c) {
        case 'n':
          c = '\n';
          break;
        case 't':
          c = '\t';
          break;
        case 'r':
          c = '\r';
          break;
        case '"':
        case '\\':
        case '/':
          break;
        default:
          return false;
      }
    }
    out.push_back(c);
  }
  return false;
}

}  // namespace

bool ParseParameterObject(const std::string& text, std::map<std::string, std::string>& values) {
  std::map<std::string, std::string> parsed;
  size_t i = 0;
  SkipSpace(text, i);
  if (i >= text.size() || text[i] != '{')
    return false;
  ++i;
  SkipSpace(text, i);
  if (i < text.size() && text[i] == '}') {
    ++i;
  } else {
    for (;;) {
      std::string key, value;
      SkipSpace(text, i);
      if (!ReadString(text, i, key) || key.empty())
        return false;
      SkipSpace(text, i);
      if (i >= text.size() || text[i] != ':')
        return false;
      ++i;
      SkipSpace(text, i);
      if (i < text.size() && text[i] == '"') {
        if (!ReadString(text, i, value))
          return false;
      } else {
        size_t start = i;
        while (i < text.size() && text[i] != ',' && text[i] != '}' && text[i] != ' ')
          ++i;
        value = text.substr(start, i - start);
        bool number =
            !value.empty() && value.find_first_not_of("+-.0123456789eE") == std::string::npos;
        if (value != "true" && value != "false" && !number)
          return false;
      }
      parsed[key] = value;
      SkipSpace(text, i);
      if (i < text.size() && text[i] == ',') {
        ++i;
        continue;
      }
      if (i < text.size() && text[i] == '}') {
        ++i;
        break;
      }
      return false;
    }
  }
  SkipSpace(text, i);
  if (i != text.size())
    return false;
  for (auto& entry : parsed)
    values[entry.first] = entry.second;
  return true;
}

bool ParseHostPort(const std::string& text, std::string& host, int& port) {
  size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size())
    return false;
  std::string digits = text.substr(colon + 1);
  if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  int value = std::stoi(digits);
  if (value < 1 || value > 65535)
    return false;
  host = text.substr(0, colon);
  port = value;
  return true;
}

}  // namespace agora_standin
