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
    return Writer(kVideoFrame)
        .U16(width)
        .U16(height)
        .Bytes(std::string(bytes, fill).data(), bytes)
        .Finish();
  }

  // Makes the member |silentUid| (which never reads) fall behind: |sender| sends frames until the
  // server skips them for it. What is queued for it afterwards waits in its queue.
  void FallBehind(uint32_t silentUid, RawMember& sender) {
    const std::string line =
        "member uid=" + std::to_string(silentUid) + " is not reading; its video frames";
    const std::string frame = Frame(160, 120, 160 * 120 * 3);
    for (int i = 0; i < 1000 && LogLinesWith(line).empty(); ++i) {
      ASSERT_TRUE(sender.Send(frame));
      if (i % 50 == 49) {
        sender.Drain();
        Sleep(20);  // the relay runs on the sender's reader thread
      }
    }
    for (int i = 0; i < 100 && LogLinesWith(line).empty(); ++i)
      Sleep(50);
    ASSERT_EQ(LogLinesWith(line).size(), 1u);
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
  ASSERT_TRUE(
      sender.Send(std::string("\x09\x00\x00\x00\x04\x71\x59\x3d\xf4"
                              "ABCD",
                              13)));
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

// A member whose queue holds an unsent role note about another member gets that note brought up
// to date, not another one: after a flood of role changes it hears one note with the last state.
TEST_F(ChannelServerTest, UnsentRoleNotesAboutOneMemberAreMerged) {
  struct Case {
    int changes;
    uint8_t lastNote;  // the member ends as a broadcaster (joined) or in the audience (offline)
  };
  const Case cases[] = {{2000, kUserJoined}, {2001, kUserOffline}, {1, kUserOffline}};
  uint32_t uid = 40;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.changes);
    const std::string channel = "merge" + std::to_string(c.changes);
    const uint32_t silentUid = uid++, senderUid = uid++, togglerUid = uid++, lateUid = uid++;
    RawMember silent(m_server.port(), 4096), sender(m_server.port()), toggler(m_server.port());
    ASSERT_EQ(silent.Join(channel, silentUid), silentUid);
    ASSERT_EQ(sender.Join(channel, senderUid), senderUid);
    ASSERT_NO_FATAL_FAILURE(FallBehind(silentUid, sender));
    // A live broadcaster that keeps switching between broadcasting and listening.
    ASSERT_EQ(toggler.Join(channel, togglerUid, 1, kRoleBroadcaster), togglerUid);
    std::string changes;
    for (int i = 0; i < c.changes; ++i)
      changes += Writer(kSetRole).U8(i % 2 == 0 ? kRoleAudience : kRoleBroadcaster).Finish();
    ASSERT_TRUE(toggler.Send(changes));
    // A second join is refused once every role change before it was handled.
    ASSERT_TRUE(toggler.Send(
        Writer(kJoin).U8(1).U8(1).U32(togglerUid).Text(channel).Text("").Text("app").Finish()));
    std::string payload;
    ASSERT_TRUE(toggler.WaitFor(kJoinRefused, payload, 10000));
    // A last member joins: the note about it comes last in the silent member's queue.
    RawMember late(m_server.port());
    ASSERT_EQ(late.Join(channel, lateUid), lateUid);

    std::vector<uint8_t> aboutToggler;
    for (;;) {
      uint8_t type = 0;
      ASSERT_TRUE(silent.Next(type, payload, 10000));
      if (type != kUserJoined && type != kUserOffline)
        continue;
      Reader reader(payload.data(), payload.size());
      uint32_t about = 0;
      ASSERT_TRUE(reader.U32(about));
      if (about == lateUid)
        break;
      if (about == togglerUid)
        aboutToggler.push_back(type);
    }
    // The note of its join, then one note with its last state.
    ASSERT_EQ(aboutToggler.size(), 2u);
    EXPECT_EQ(aboutToggler[0], kUserJoined);
    EXPECT_EQ(aboutToggler[1], c.lastNote);
  }
}

// A member that never reads while another comes and goes is dropped once its queue reaches the
// limit, with one log line; the others hear it dropped and go on.
TEST_F(ChannelServerTest, AMemberTooFarBehindIsDropped) {
  RawMember silent(m_server.port(), 4096), sender(m_server.port()), churner(m_server.port());
  ASSERT_EQ(silent.Join("drop", 60), 60u);
  ASSERT_EQ(sender.Join("drop", 61), 61u);
  ASSERT_NO_FATAL_FAILURE(FallBehind(60, sender));

  // Each join and leave queues a note of 9 or 13 bytes for the silent member: enough of them
  // pass the limit many times over if nothing is ever dropped.
  const std::string pair = Writer(kJoin)
                               .U8(kProfileCommunication)
                               .U8(kRoleBroadcaster)
                               .U32(62)
                               .Text("drop")
                               .Text("")
                               .Text("app")
                               .Finish() +
                           Writer(kLeave).Finish();
  std::string batch;
  for (int i = 0; i < 1000; ++i)
    batch += pair;
  const size_t limitPairs = (channel_server::ChannelServer::kDropQueuedBytes -
                             channel_server::ChannelServer::kMaxQueuedBytes) /
                            (2 * channel_server::ChannelServer::kQueuedMessageCost);
  std::vector<std::string> dropLines;
  for (size_t sent = 0; sent < 2 * limitPairs && dropLines.empty(); sent += 1000) {
    ASSERT_TRUE(churner.Send(batch));
    churner.Drain();
    sender.Drain();
    dropLines = LogLinesWith("is more than");
  }
  for (int i = 0; i < 100 && dropLines.empty(); ++i) {
    Sleep(50);
    churner.Drain();
    sender.Drain();
    dropLines = LogLinesWith("is more than");
  }
  ASSERT_EQ(dropLines.size(), 1u);
  EXPECT_EQ(dropLines[0], "member uid=60 is more than " +
                              std::to_string(channel_server::ChannelServer::kDropQueuedBytes) +
                              " bytes behind; dropping it");

  // The others hear it was dropped (reason 1), and it is no longer in the channel.
  std::string payload;
  bool heard = false;
  while (!heard && sender.WaitFor(kUserOffline, payload, 5000))
    heard = payload == Writer(kUserOffline).U32(60).U32(1).Finish().substr(5);
  EXPECT_TRUE(heard);
  EXPECT_EQ(LogLinesWith("drop channel=drop uid=60").size(), 1u);
  // The server goes on: the churner joins for good and gets the sender's frames.
  ASSERT_TRUE(churner.Send(pair.substr(0, pair.size() - 5)));
  const std::vector<uint32_t> staying = {61, 62};
  for (int i = 0; i < 200 && m_server.Users("drop") != staying; ++i) {
    churner.Drain();
    sender.Drain();
    Sleep(50);
  }
  ASSERT_EQ(m_server.Users("drop"), staying);
  ASSERT_TRUE(sender.Send(Frame(160, 120, 160 * 120 * 3, 'z')));
  EXPECT_TRUE(churner.WaitFor(kRemoteFrame, payload, 5000));
  EXPECT_EQ(LogLinesWith("is more than").size(), 1u);
}

// A flood of role changes logs a few lines a second, and one line counting the rest.
TEST_F(ChannelServerTest, RoleChangesAreLoggedAFewASecond) {
  RawMember toggler(m_server.port());
  ASSERT_EQ(toggler.Join("roles", 70, 1, kRoleBroadcaster), 70u);
  const int changes = 1000;
  std::string bytes;
  for (int i = 0; i < changes; ++i)
    bytes += Writer(kSetRole).U8(i % 2 == 0 ? kRoleAudience : kRoleBroadcaster).Finish();
  DWORD start = GetTickCount();
  ASSERT_TRUE(toggler.Send(bytes + Writer(kLeave).Finish()));
  for (int i = 0; i < 200 && LogLinesWith("leave channel=roles uid=70").empty(); ++i)
    Sleep(50);
  DWORD seconds = (GetTickCount() - start) / 1000 + 1;
  ASSERT_EQ(LogLinesWith("leave channel=roles uid=70").size(), 1u);

  size_t logged = LogLinesWith("role channel=roles uid=70 role=").size();
  size_t counted = 0;
  for (const std::string& line : LogLinesWith(" more role changes not logged")) {
    SCOPED_TRACE(line);
    const std::string prefix = "role channel=roles uid=70: ";
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0);
    counted += std::stoul(line.substr(prefix.size()));
  }
  EXPECT_GE(logged, 1u);
  EXPECT_LE(logged, channel_server::ChannelServer::kRoleLinesPerSecond * seconds);
  EXPECT_EQ(logged + counted, static_cast<size_t>(changes));
}

}  // namespace

// Audio goes out ahead of the video that waits for a member, and a member that has fallen
// behind keeps only the newest half second of audio (with one log line about it).
TEST_F(ChannelServerTest, AudioOvertakesQueuedVideoAndOldAudioGoesFirst) {
  RawMember silent(m_server.port(), 4096), sender(m_server.port());
  ASSERT_EQ(silent.Join("audio", 80), 80u);
  ASSERT_EQ(sender.Join("audio", 81), 81u);
  // 130 frames (7.5 MB, under the limit where frames are skipped) wait for the silent member,
  // some in the sockets' buffers (a few MB on loopback), the rest in its queue ...
  const int frames = 130;
  const std::string frame = Frame(160, 120, 160 * 120 * 3);
  for (int i = 0; i < frames; ++i)
    ASSERT_TRUE(sender.Send(frame));
  // ... then 100 audio packets.
  const uint32_t packets = 100;
  std::string audio;
  for (uint32_t s = 0; s < packets; ++s)
    audio += Writer(kAudioFrame).U32(s).Bytes("\xFC\xFF\xFE", 3).Finish();
  ASSERT_TRUE(sender.Send(audio));
  for (int i = 0; i < 200 && m_server.Audio().relayed < packets; ++i)
    Sleep(50);
  ASSERT_EQ(m_server.Audio().relayed, packets);
  const size_t kept = channel_server::ChannelServer::kMaxQueuedAudio;
  EXPECT_EQ(m_server.Audio().oldDropped, packets - kept);
  EXPECT_EQ(LogLinesWith("member uid=80 is not reading; its oldest audio is dropped").size(), 1u);

  // Now it reads: the newest packets, in order, before nearly all of the video.
  std::vector<uint32_t> sequences;
  int videoBefore = 0, videoAfter = 0;
  while (sequences.size() < kept || videoBefore + videoAfter < frames) {
    uint8_t type = 0;
    std::string payload;
    ASSERT_TRUE(silent.Next(type, payload, 10000))
        << sequences.size() << " packets, " << videoBefore + videoAfter << " frames";
    Reader reader(payload.data(), payload.size());
    uint32_t uid = 0, sequence = 0;
    if (type == kRemoteAudio) {
      ASSERT_TRUE(reader.U32(uid) && reader.U32(sequence));
      EXPECT_EQ(uid, 81u);
      sequences.push_back(sequence);
    } else if (type == kRemoteFrame) {
      (sequences.empty() ? videoBefore : videoAfter)++;
    }
  }
  std::vector<uint32_t> newest;
  for (uint32_t s = packets - static_cast<uint32_t>(kept); s < packets; ++s)
    newest.push_back(s);
  EXPECT_EQ(sequences, newest);
  // Only what was already on its way through the sockets came first; in order, all of the
  // video would have.
  EXPECT_GT(videoAfter, frames / 2) << videoBefore << " frames came before the audio";
}
