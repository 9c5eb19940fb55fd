// The channel server against members that misbehave: forged video frames, and a member that
// stops reading. The members are plain sockets (raw_member.h), so the bytes are exactly the test's.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <mutex>
#include <string>
#include <vector>

#include "channel_protocol.h"
#include "channel_server.h"
#include "raw_member.h"

namespace {

using namespace channel_protocol;
using zarvik_test::RawMember;

class ChannelServerTest : public testing::Test {
 protected:
  void SetUp() override {
    m_server.SetLogSink([this](const std::string& line) {
      std::lock_guard<std::mutex> guard(m_logLock);
      m_log.push_back(line);
    });
    ASSERT_TRUE(m_server.Start("127.0.0.1", 0));
  }
  void TearDown() override { m_server.Stop(); }
  std::vector<std::string> LogLinesWith(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_logLock);
    std::vector<std::string> lines;
    for (const std::string& line : m_log) {
      if (line.find(text) != std::string::npos)
        lines.push_back(line);
    }
    return lines;
  }
  static std::string Frame(uint16_t width, uint16_t height, size_t bytes, char fill = 'p') {
    return Writer(kVideoFrame).U16(width).U16(height).Bytes(std::string(bytes, fill).data(), bytes)
        .Finish();
  }

  // The log outlives the server: the server still logs while it stops.
  std::mutex m_logLock;
  std::vector<std::string> m_log;
  channel_server::ChannelServer m_server;
};

TEST_F(ChannelServerTest, FramesThatBreakTheFrameRuleAreDroppedAndLogged) {
  RawMember sender(m_server.port()), receiver(m_server.port());
  ASSERT_EQ(sender.Join("900", 11), 11u);
  ASSERT_EQ(receiver.Join("900", 12), 12u);

  // 22897 x 62525 needs 4,294,967,300 bytes: a 32-bit size_t wraps that to the 4 bytes sent.
  ASSERT_TRUE(sender.Send(std::string("\x09\x00\x00\x00\x04\x71\x59\x3d\xf4" "ABCD", 13)));
  ASSERT_TRUE(sender.Send(Frame(65535, 21846, 131072)));
  ASSERT_TRUE(sender.Send(Frame(43690, 32768, 0)));
  ASSERT_TRUE(sender.Send(Frame(160, 120, 160 * 120 * 3 - 1)));
  ASSERT_TRUE(sender.Send(Frame(0, 120, 0)));
  ASSERT_TRUE(sender.Send(Frame(160, 120, 160 * 120 * 3, 'g')));

  // Only the good frame reaches the other member, whole.
  std::string payload;
  ASSERT_TRUE(receiver.WaitFor(kRemoteFrame, payload, 5000));
  Reader reader(payload.data(), payload.size());
  uint32_t uid = 0;
  uint16_t width = 0, height = 0;
  ASSERT_TRUE(reader.U32(uid) && reader.U16(width) && reader.U16(height));
  size_t size = 0;
  const char* pixels = reader.Rest(size);
  EXPECT_EQ(uid, 11u);
  EXPECT_EQ(width, 160);
  EXPECT_EQ(height, 120);
  EXPECT_EQ(std::string(pixels, size), std::string(160 * 120 * 3, 'g'));
  EXPECT_FALSE(receiver.WaitFor(kRemoteFrame, payload, 300));

  std::vector<std::string> drops = LogLinesWith("drop video frame");
  ASSERT_EQ(drops.size(), 5u);
  EXPECT_EQ(drops[0], "drop video frame uid=11 22897x62525 with 4 bytes: larger than 1280x720");
  EXPECT_EQ(drops[2], "drop video frame uid=11 43690x32768 with 0 bytes: larger than 1280x720");
  EXPECT_EQ(drops[3],
            "drop video frame uid=11 160x120 with 57599 bytes: pixel bytes do not match the size");
  EXPECT_EQ(drops[4], "drop video frame uid=11 0x120 with 0 bytes: a side is 0");
}

// One member never reads. Two others keep exchanging frames and a fourth joins: each frame
// reaches the other side within 2 s and the join completes within 5 s, however far behind the
// silent member is. (A server that sends while holding its lock, or relays one receiver after
// the other on the sender's thread, stops all of them once the silent member's socket is full.)
TEST_F(ChannelServerTest, AMemberThatStopsReadingHoldsUpNobody) {
  RawMember silent(m_server.port(), 4096), a(m_server.port()), b(m_server.port());
  ASSERT_EQ(silent.Join("77", 30), 30u);
  ASSERT_EQ(a.Join("77", 31), 31u);
  ASSERT_EQ(b.Join("77", 32), 32u);

  // 2 x 300 frames of 57,600 bytes: far more than the silent member's socket buffers hold.
  const size_t frameBytes = 160 * 120 * 3;
  std::string payload;
  for (int i = 0; i < 300; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(a.Send(Frame(160, 120, frameBytes, 'a')));
    ASSERT_TRUE(b.WaitFor(kRemoteFrame, payload, 2000));
    ASSERT_EQ(payload.size(), 8 + frameBytes);
    ASSERT_TRUE(b.Send(Frame(160, 120, frameBytes, 'b')));
    ASSERT_TRUE(a.WaitFor(kRemoteFrame, payload, 2000));
  }

  // A fourth member joins and hears of the three; the two active ones hear of it.
  RawMember late(m_server.port());
  ASSERT_EQ(late.Join("77", 33), 33u);
  for (uint32_t uid : {30u, 31u, 32u}) {
    SCOPED_TRACE(uid);
    ASSERT_TRUE(late.WaitFor(kUserJoined, payload, 5000));
  }
  std::string note = Writer(kUserJoined).U32(33).Finish().substr(5);
  ASSERT_TRUE(a.WaitFor(kUserJoined, payload, 2000));
  EXPECT_EQ(payload, note);
  ASSERT_TRUE(b.WaitFor(kUserJoined, payload, 2000));
  EXPECT_EQ(payload, note);
  // And it receives frames too.
  ASSERT_TRUE(a.Send(Frame(160, 120, frameBytes, 'a')));
  EXPECT_TRUE(late.WaitFor(kRemoteFrame, payload, 2000));

  EXPECT_EQ(LogLinesWith("member uid=30 is not reading").size(), 1u);
  EXPECT_TRUE(LogLinesWith("member uid=31 is not reading").empty());
}

}  // namespace
