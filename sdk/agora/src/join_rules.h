// What the engine accepts in a join request and in its parameter texts; pure functions.
#pragma once

#include <map>
#include <string>

namespace agora_standin {

constexpr size_t kMaxChannelIdLength = 64;
constexpr size_t kMaxTokenLength = 2047;

// 0 when the join arguments are acceptable, otherwise the negative error code joinChannel
// returns: -ERR_INVALID_ARGUMENT (-2) for a missing or bad channel name (empty, longer than 64
// bytes, or a character outside the allowed set) and for a token that is too long or not
// printable ASCII without spaces. An absent or empty token means "no token".
int CheckJoinArguments(const char* token, const char* channelId);

// Channel names may use letters, digits, space and !#$%&()+-:;<=.>?@[]^_{|}~,
bool IsChannelNameCharacter(char c);

// A flat JSON object of keys with true/false, number or string values, as the engine's
// parameter texts are written: {"rtc.audio.mute_me":false,"che.audio.mute_me":false}.
// Values keep their text form (strings without the quotes). False when it is not such an object.
bool ParseParameterObject(const std::string& text, std::map<std::string, std::string>& values);

// "host:port" with a port of 1 to 65535.
bool ParseHostPort(const std::string& text, std::string& host, int& port);

}  // namespace agora_standin
