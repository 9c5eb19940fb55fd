// The engine's join rules, its parameter texts and the channel protocol's framing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "channel_protocol.h"
#include "join_rules.h"

namespace {

using namespace agora_standin;

TEST(JoinRules, ChannelNamesAndTokens) {
  struct Case {
    const char* token;
    const char* channel;
    int expected;
  };
  std::string longChannel(65, '1');
  std::string longestChannel(64, '1');
  std::string longToken(2048, 'a');
  std::string longestToken(2047, 'a');
  const Case cases[] = {
      {nullptr, "12345", 0},
      {"", "12345", 0},
      {"006abcDEF+/=_-", "12345", 0},
      {nullptr, "a b!#$%&()+-:;<=.>?@[]^_{|}~,", 0},
      {nullptr, longestChannel.c_str(), 0},
      {longestToken.c_str(), "1", 0},
      {nullptr, nullptr, -2},
      {nullptr, "", -2},
      {nullptr, longChannel.c_str(), -2},
      {nullptr, "12\"345", -2},
      {nullptr, "\xE9\xA2\x91", -2},
      {"key with space", "12345", -2},
      {"tab\tkey", "12345", -2},
      {"\xE5\xAF\x86", "12345", -2},
      {longToken.c_str(), "12345", -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("channel=") + (c.channel ? c.channel : "(null)") +
                 " token=" + (c.token ? c.token : "(null)"));
    EXPECT_EQ(CheckJoinArguments(c.token, c.channel), c.expected);
  }
}

TEST(JoinRules, ParameterObjects) {
  std::map<std::string, std::string> values;
  ASSERT_TRUE(
      ParseParameterObject("{\"rtc.video.mute_me\":false,\"che.video.local.send\":true}", values));
  EXPECT_EQ(values["rtc.video.mute_me"], "false");
  EXPECT_EQ(values["che.video.local.send"], "true");
  ASSERT_TRUE(ParseParameterObject(" { \"a\" : \"x\\\"y\" , \"n\": -1.5 } ", values));
  EXPECT_EQ(values["a"], "x\"y");
  EXPECT_EQ(values["n"], "-1.5");
  EXPECT_TRUE(ParseParameterObject("{}", values));

  const char* bad[] = {
      "",           "[]",          "{",        "{\"a\":}",      "{\"a\":yes}", "{\"a\" false}",
      "{\"a\":1,}", "{\"a\":1} x", "{\"\":1}", "{\"a\":\"open}"};
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    std::map<std::string, std::string> untouched;
    EXPECT_FALSE(ParseParameterObject(text, untouched));
    EXPECT_TRUE(untouched.empty());
  }
}

TEST(JoinRules, ServerAddresses) {
  std::string host;
  int port = 0;
  EXPECT_TRUE(ParseHostPort("127.0.0.1:18811", host, port));
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(port, 18811);
  for (const char* bad : {"127.0.0.1", "127.0.0.1:", ":80", "h:0", "h:65536", "h:8x", "h:123456"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseHostPort(bad, host, port));
  }
}

TEST(ChannelProtocol, MessagesSurviveArbitrarySplits) {
  using namespace channel_protocol;
  // A join, a note, a frame larger than one socket read, then a run of the smallest messages.
  const std::string pixels(160 * 120 * 3 * 2, 'p');
  std::string stream =
      Writer(kJoin).U8(1).U8(2).U32(0xA1B2C3D4).Text("12345").Text("").Text("app").Finish();
  stream += Writer(kUserOffline).U32(7).U32(1).Finish();
  stream += Writer(kVideoFrame).U16(160).U16(240).Bytes(pixels.data(), pixels.size()).Finish();
  for (int i = 0; i < 50; ++i)
    stream += Writer(static_cast<MessageType>(i)).Finish();
  for (size_t chunk : {size_t(1), size_t(3), size_t(5), size_t(7), size_t(4093), size_t(64 * 1024),
                       stream.size()}) {
    SCOPED_TRACE(chunk);
    Framer framer;
    std::vector<std::pair<uint8_t, std::string>> messages;
    for (size_t i = 0; i < stream.size(); i += chunk) {
      framer.Append(stream.data() + i, std::min(chunk, stream.size() - i));
      uint8_t type;
      std::string payload;
      int result;
      while ((result = framer.Next(type, payload)) == 1)
        messages.emplace_back(type, payload);
      ASSERT_EQ(result, 0);
    }
    EXPECT_EQ(framer.Pending(), 0u);
    ASSERT_EQ(messages.size(), 53u);
    EXPECT_EQ(messages[0].first, kJoin);
    Reader join(messages[0].second.data(), messages[0].second.size());
    uint8_t profile, role;
    uint32_t uid;
    std::string channel, token, app;
    ASSERT_TRUE(join.U8(profile) && join.U8(role) && join.U32(uid) && join.Text(channel) &&
                join.Text(token) && join.Text(app));
    EXPECT_EQ(uid, 0xA1B2C3D4u);
    EXPECT_EQ(channel, "12345");
    EXPECT_EQ(app, "app");
    EXPECT_EQ(messages[1].first, kUserOffline);
    EXPECT_EQ(messages[2].first, kVideoFrame);
    EXPECT_EQ(messages[2].second, std::string("\xA0\x00\xF0\x00", 4) + pixels);
    for (int i = 0; i < 50; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(messages[3 + i].first, i);
      EXPECT_EQ(messages[3 + i].second, "");
    }
  }
}

// What one 64 KiB socket read of the smallest messages holds comes out whole and in order, and
// the message cut at the read's end is completed by the next read.
TEST(ChannelProtocol, AFullReadOfTinyMessages) {
  using namespace channel_protocol;
  std::string stream;
  for (int i = 0; stream.size() < 64 * 1024 + 10; ++i)
    stream += Writer(static_cast<MessageType>(i & 0xFF)).Finish();
  Framer framer;
  framer.Append(stream.data(), 64 * 1024);
  std::vector<uint8_t> types;
  uint8_t type;
  std::string payload;
  while (framer.Next(type, payload) == 1) {
    EXPECT_EQ(payload, "");
    types.push_back(type);
  }
  ASSERT_EQ(types.size(), 64u * 1024u / 5u);
  EXPECT_EQ(framer.Pending(), 64u * 1024u % 5u);
  framer.Append(stream.data() + 64 * 1024, stream.size() - 64 * 1024);
  while (framer.Next(type, payload) == 1)
    types.push_back(type);
  ASSERT_EQ(types.size(), stream.size() / 5);
  for (size_t i = 0; i < types.size(); ++i) {
    if (types[i] != (i & 0xFF)) {
      ADD_FAILURE() << "message " << i << " has type " << int(types[i]);
      break;
    }
  }
  EXPECT_EQ(framer.Pending(), 0u);
}

TEST(ChannelProtocol, BadLengthsAndShortPayloads) {
  using namespace channel_protocol;
  // A bad length ends the stream wherever it comes: first, or after messages already taken from
  // the same read; the messages before it are still handed out, and it stays refused.
  const std::string good = Writer(kSetRole).U8(2).Finish();
  for (uint32_t length : {0u, kMaxMessageSize + 1, 0xFFFFFFFFu}) {
    for (int before : {0, 3}) {
      SCOPED_TRACE(std::to_string(length) + " after " + std::to_string(before));
      Framer framer;
      std::string bytes;
      for (int i = 0; i < before; ++i)
        bytes += good;
      char header[5] = {static_cast<char>(length & 0xFF), static_cast<char>((length >> 8) & 0xFF),
                        static_cast<char>((length >> 16) & 0xFF),
                        static_cast<char>((length >> 24) & 0xFF), 1};
      bytes.append(header, sizeof(header));
      framer.Append(bytes.data(), bytes.size());
      uint8_t type;
      std::string payload;
      for (int i = 0; i < before; ++i) {
        ASSERT_EQ(framer.Next(type, payload), 1);
        EXPECT_EQ(payload, "\x02");
      }
      EXPECT_EQ(framer.Next(type, payload), -1);
      framer.Append(good.data(), good.size());
      EXPECT_EQ(framer.Next(type, payload), -1);
    }
  }
  // The largest length is accepted: the framer waits for the whole message.
  {
    Framer framer;
    std::string largest = Writer(kVideoFrame).Finish();
    largest[0] = static_cast<char>(kMaxMessageSize & 0xFF);
    largest[1] = static_cast<char>((kMaxMessageSize >> 8) & 0xFF);
    largest[2] = static_cast<char>((kMaxMessageSize >> 16) & 0xFF);
    largest[3] = static_cast<char>((kMaxMessageSize >> 24) & 0xFF);
    largest.resize(4 + kMaxMessageSize, 'x');
    uint8_t type;
    std::string payload;
    framer.Append(largest.data(), largest.size() - 1);
    EXPECT_EQ(framer.Next(type, payload), 0);
    framer.Append(largest.data() + largest.size() - 1, 1);
    ASSERT_EQ(framer.Next(type, payload), 1);
    EXPECT_EQ(type, kVideoFrame);
    EXPECT_EQ(payload.size(), kMaxMessageSize - 1);
  }
  // A text whose length runs past the payload's end is refused, and so is everything after it.
  std::string payload = std::string("\x10\x00", 2) + "abc";
  Reader reader(payload.data(), payload.size());
  std::string text;
  uint8_t more;
  EXPECT_FALSE(reader.Text(text));
  EXPECT_FALSE(reader.ok());
  size_t rest;
  reader.Rest(rest);
  EXPECT_EQ(rest, 0u);
  Reader empty(payload.data(), 0);
  EXPECT_FALSE(empty.U8(more));
}

// The frame rule both the channel server and the engine apply. The first rows are frames whose
// size wraps a 32-bit size_t to the payload given (4, 131072 and 0 bytes).
TEST(ChannelProtocol, FrameRule) {
  using namespace channel_protocol;
  struct Case {
    uint32_t width, height;
    uint64_t payload;
    FrameCheck expected;
  };
  const uint64_t exact = 160 * 3 * 120;  // 480 is already a multiple of 4
  const uint64_t largest = FrameBytes(kMaxFrameWidth, kMaxFrameHeight);
  const Case cases[] = {
      {22897, 62525, 4, FrameCheck::kTooLarge},
      {65535, 21846, 131072, FrameCheck::kTooLarge},
      {43690, 32768, 0, FrameCheck::kTooLarge},
      {160, 120, exact, FrameCheck::kOk},
      {160, 120, exact - 1, FrameCheck::kWrongPayload},
      {160, 120, exact + 1, FrameCheck::kWrongPayload},
      {160, 120, 0, FrameCheck::kWrongPayload},
      {1, 1, 4, FrameCheck::kOk},  // one pixel, row padded to 4 bytes
      {1, 1, 3, FrameCheck::kWrongPayload},
      {161, 2, 2 * 484, FrameCheck::kOk},
      {kMaxFrameWidth, kMaxFrameHeight, largest, FrameCheck::kOk},
      {kMaxFrameWidth + 1, 1, FrameStride(kMaxFrameWidth + 1), FrameCheck::kTooLarge},
      {1, kMaxFrameHeight + 1, 4ull * (kMaxFrameHeight + 1), FrameCheck::kTooLarge},
      {0, 120, 0, FrameCheck::kEmptySide},
      {160, 0, 0, FrameCheck::kEmptySide},
      {0xFFFFFFFFu, 0xFFFFFFFFu, 0, FrameCheck::kTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(FrameText(c.width, c.height, c.payload));
    EXPECT_EQ(CheckFrame(c.width, c.height, c.payload), c.expected);
  }
  // The sizes themselves do not wrap in either build.
  EXPECT_EQ(FrameBytes(22897, 62525), 4294967300ull);
  EXPECT_EQ(FrameBytes(43690, 32768), 4294967296ull);
  EXPECT_EQ(FrameBytes(0xFFFF, 0xFFFF), 196608ull * 0xFFFF);
}

}  // namespace
