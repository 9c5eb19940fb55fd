// The audio path's parts on their own: WAV files in and out, the profile table, the Opus
// encoder and decoder with their packet check, mixing with clipping, and the jitter buffer's
// handling of reordered, late, lost and drifting packets.
#include <gtest/gtest.h>
#include <opus/opus.h>

#include <math.h>

#include <string>
#include <vector>

#include "audio_codec.h"
#include "audio_wav.h"
#include "jitter_buffer.h"
#include "support/temp_dir.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

using namespace agora_standin;
using Action = JitterBuffer::Action;

std::string Samples(const std::vector<int16_t>& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

// A file of 16-bit samples at this rate.
std::string Wav(int rate, int channels, const std::vector<int16_t>& samples) {
  return WavHeader(rate, channels, static_cast<uint32_t>(samples.size() * 2)) + Samples(samples);
}

TEST(WavFileTest, ParsesPcmAndRefusesWhatItCannotPlay) {
  std::vector<int16_t> four = {1, -2, 300, -32768};
  std::string good = Wav(16000, 1, four);
  // A chunk before "fmt " (as many tools write) and an odd-sized one are skipped.
  std::string withList = good.substr(0, 12) + "LIST" + std::string("\x03\x00\x00\x00", 4) + "abc" +
                         std::string(1, '\0') + good.substr(12);
  std::string extensible = good;
  extensible[20] = '\xFE';
  extensible[21] = '\xFF';
  std::string eightBit = good;
  eightBit[34] = 8;
  std::string sixChannels = good;
  sixChannels[22] = 6;
  std::string cut = good.substr(0, good.size() - 3);  // data chunk longer than the file
  struct Case {
    const char* name;
    std::string bytes;
    bool ok;
    size_t samples;
  } cases[] = {
      {"plain", good, true, 4},
      {"list chunk first", withList, true, 4},
      {"extensible 16-bit", extensible, true, 4},
      {"cut short", cut, true, 2},
      {"8-bit", eightBit, false, 0},
      {"six channels", sixChannels, false, 0},
      {"not RIFF", "RIFX" + good.substr(4), false, 0},
      {"header only", good.substr(0, 12), false, 0},
      {"empty", "", false, 0},
      {"data before fmt", good.substr(0, 12) + good.substr(36), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WavData wav;
    std::string error;
    EXPECT_EQ(ParseWav(c.bytes, wav, error), c.ok) << error;
    if (c.ok) {
      EXPECT_EQ(wav.rate, 16000);
      ASSERT_EQ(wav.samples.size(), c.samples);
      EXPECT_EQ(wav.samples[1], -2);
    } else {
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(WavFileTest, ConvertsToFortyEightKilohertz) {
  // A 1 kHz tone at 16 kHz mono becomes three times as many samples per channel, both sides
  // equal, and still a 1 kHz tone (its samples 48 apart are equal).
  WavData wav;
  wav.rate = 16000;
  wav.channels = 1;
  for (int i = 0; i < 1600; ++i)
    wav.samples.push_back(static_cast<int16_t>(10000 * sin(2 * kPi * 1000 * i / 16000.0)));
  std::vector<int16_t> out = ConvertTo48k(wav, 2);
  ASSERT_EQ(out.size(), 4800u * 2);
  for (size_t i = 100; i + 48 < 4700; i += 37) {
    EXPECT_EQ(out[2 * i], out[2 * i + 1]);
    EXPECT_NEAR(out[2 * i], out[2 * (i + 48)], 2);
  }
  // Stereo folded to mono is the mean of both sides.
  WavData stereo;
  stereo.rate = 48000;
  stereo.channels = 2;
  stereo.samples = {1000, 3000, -32768, -32768};
  EXPECT_EQ(ConvertTo48k(stereo, 1), (std::vector<int16_t>{2000, -32768}));
}

TEST(WavFileTest, WriterLeavesAReadableFileWhileOpenAndAfter) {
  zarvik_test::TempDir dir;
  std::wstring path = dir.File(L"out.wav");
  WavWriter writer;
  ASSERT_TRUE(writer.Open(path, 48000, 2));
  std::vector<int16_t> second(96000 * 3 / 2, 7);  // 1.5 s of stereo
  ASSERT_TRUE(writer.Write(second.data(), second.size()));
  std::string bytes;
  WavData wav;
  std::string error;
  // While it is still open, the header already covers the first whole second.
  ASSERT_TRUE(ReadWholeFile(path, bytes, 1 << 24));
  ASSERT_TRUE(ParseWav(bytes, wav, error)) << error;
  EXPECT_EQ(wav.samples.size(), second.size());
  writer.Close();
  ASSERT_TRUE(ReadWholeFile(path, bytes, 1 << 24));
  ASSERT_TRUE(ParseWav(bytes, wav, error)) << error;
  EXPECT_EQ(wav.rate, 48000);
  EXPECT_EQ(wav.channels, 2);
  EXPECT_EQ(wav.samples, second);
}

TEST(AudioProfileTest, ValuesOfEachProfile) {
  struct Case {
    int profile, scenario, channelProfile;
    int rate, channels, bitrate;
    bool music;
  } cases[] = {
      {0, 0, 0, 32000, 1, 18000, false},  // default, communication
      {0, 0, 1, 48000, 1, 64000, true},   // default, live broadcasting
      {1, 0, 1, 32000, 1, 18000, false}, {2, 0, 0, 48000, 1, 64000, true},
      {3, 0, 0, 48000, 2, 80000, true},  {4, 0, 0, 48000, 1, 96000, true},
      {5, 4, 1, 48000, 2, 128000, true},  // what the client asks for
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("profile " + std::to_string(c.profile) + " in channel profile " +
                 std::to_string(c.channelProfile));
    AudioProfileValues v = ProfileValues(c.profile, c.scenario, c.channelProfile);
    EXPECT_EQ(v.sampleRate, c.rate);
    EXPECT_EQ(v.channels, c.channels);
    EXPECT_EQ(v.bitrate, c.bitrate);
    EXPECT_EQ(v.music, c.music);
  }
}

// 20 ms of a tone, interleaved for these channels, starting at sample `at`.
std::vector<int16_t> Tone(int channels, int at, double hz = 440, double level = 8000) {
  std::vector<int16_t> pcm;
  for (int i = 0; i < kAudioFrameSamples; ++i) {
    auto v = static_cast<int16_t>(level * sin(2 * kPi * hz * (at + i) / kAudioRate));
    for (int c = 0; c < channels; ++c)
      pcm.push_back(v);
  }
  return pcm;
}

double Energy(const int16_t* pcm, size_t n) {
  double e = 0;
  for (size_t i = 0; i < n; ++i)
    e += static_cast<double>(pcm[i]) * pcm[i];
  return e / n;
}

TEST(AudioCodecTest, EncodesEachProfileAndDecodesIt) {
  for (int profile = 0; profile < 6; ++profile) {
    SCOPED_TRACE("profile " + std::to_string(profile));
    AudioProfileValues values = ProfileValues(profile, 0, 1);
    AudioEncoder encoder;
    std::string error;
    ASSERT_TRUE(encoder.Configure(values, error)) << error;
    AudioDecoder decoder;
    ASSERT_TRUE(decoder.ok());
    std::vector<int16_t> out(kAudioFrameSamples * 2);
    double in = 0, got = 0;
    size_t bytes = 0;
    for (int frame = 0; frame < 50; ++frame) {
      std::vector<int16_t> pcm = Tone(values.channels, frame * kAudioFrameSamples);
      std::string packet;
      ASSERT_TRUE(encoder.Encode(pcm.data(), packet));
      EXPECT_EQ(CheckOpusPacket(packet), PacketProblem::kNone);
      bytes += packet.size();
      ASSERT_TRUE(decoder.Decode(packet, out.data()));
      if (frame >= 10) {  // past the codec's start-up
        in += Energy(pcm.data(), pcm.size());
        got += Energy(out.data(), out.size());
      }
    }
    // The tone comes through at about its level, and the bit rate stays within the profile's.
    EXPECT_GT(got, in * 0.5);
    EXPECT_LT(got, in * 2);
    EXPECT_LE(bytes * 8 / 1.0, values.bitrate * 1.0 * 1.15);  // 50 frames = 1 s
  }
}

TEST(AudioCodecTest, PacketCheckRefusesWhatIsNotOneTwentyMillisecondFrame) {
  AudioEncoder encoder;
  std::string error;
  ASSERT_TRUE(encoder.Configure(ProfileValues(5, 4, 1), error));
  std::string good;
  std::vector<int16_t> pcm = Tone(2, 0);
  ASSERT_TRUE(encoder.Encode(pcm.data(), good));
  // A 10 ms packet, straight from libopus.
  int rc = 0;
  OpusEncoder* shortFrames = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &rc);
  ASSERT_EQ(rc, OPUS_OK);
  unsigned char tenMs[1275];
  int n = opus_encode(shortFrames, pcm.data(), 480, tenMs, sizeof(tenMs));
  opus_encoder_destroy(shortFrames);
  ASSERT_GT(n, 0);
  // Code 3 (several frames) whose frame count says 40 x 20 ms: too long.
  std::string tooLong = std::string(1, static_cast<char>(good[0] | 3)) + std::string(1, '\x28') +
                        std::string(40, '\x00');
  // Code 2 (two frames of given lengths) whose first length is past the end.
  std::string badLength =
      std::string(1, static_cast<char>((good[0] & ~3) | 2)) + "\xFB\x03" + std::string(10, 'x');
  struct Case {
    const char* name;
    std::string packet;
    PacketProblem problem;
  } cases[] = {
      {"20 ms", good, PacketProblem::kNone},
      {"empty", "", PacketProblem::kMalformed},
      {"10 ms", std::string(reinterpret_cast<char*>(tenMs), n), PacketProblem::kWrongDuration},
      {"frame count too large", tooLong, PacketProblem::kMalformed},
      {"length past the end", badLength, PacketProblem::kMalformed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CheckOpusPacket(c.packet), c.problem);
  }
}

TEST(AudioCodecTest, FecRebuildsALostFrameBetterThanConcealment) {
  // Speech coding carries a copy of each frame in the next packet. The sound changes from
  // 300 Hz to 700 Hz at frame 20, which is lost: concealment can only go on with 300 Hz, the
  // copy in packet 21 has the new sound.
  AudioEncoder encoder;
  std::string error;
  ASSERT_TRUE(encoder.Configure(ProfileValues(1, 0, 0), error));
  std::vector<std::string> packets;
  for (int frame = 0; frame < 30; ++frame) {
    std::vector<int16_t> pcm = Tone(1, frame * kAudioFrameSamples, frame < 20 ? 300 : 700, 10000);
    std::string packet;
    ASSERT_TRUE(encoder.Encode(pcm.data(), packet));
    packets.push_back(packet);
  }
  std::vector<int16_t> frame20[3];  // as decoded from its own packet, from FEC, concealed
  for (int way = 0; way < 3; ++way) {
    AudioDecoder decoder;
    std::vector<int16_t> out(kAudioFrameSamples * 2);
    for (int frame = 0; frame < 20; ++frame)
      ASSERT_TRUE(decoder.Decode(packets[frame], out.data()));
    bool ok = way == 0   ? decoder.Decode(packets[20], out.data())
              : way == 1 ? decoder.DecodeFec(packets[21], out.data())
                         : decoder.Conceal(out.data());
    ASSERT_TRUE(ok);
    frame20[way] = out;
  }
  auto error_energy = [&](const std::vector<int16_t>& got) {
    std::vector<int16_t> diff(got.size());
    for (size_t i = 0; i < got.size(); ++i)
      diff[i] = static_cast<int16_t>((got[i] - frame20[0][i]) / 2);
    return Energy(diff.data(), diff.size());
  };
  EXPECT_GT(Energy(frame20[1].data(), frame20[1].size()), Energy(frame20[0].data(), 1920) * 0.2);
  EXPECT_LT(error_energy(frame20[1]), error_energy(frame20[2]) * 0.5);
}

TEST(AudioMixTest, SumsAndClipsInsteadOfWrapping) {
  std::vector<int32_t> sum(4, 0);
  const int16_t a[4] = {30000, -30000, 100, -32768};
  const int16_t b[4] = {30000, -30000, -50, -32768};
  MixInto(sum, a);
  MixInto(sum, b);
  int16_t out[4];
  ClipTo16(sum, out);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], -32768);
  EXPECT_EQ(out[2], 50);
  EXPECT_EQ(out[3], -32768);
}

// ---- Jitter buffer ----

// Plays `ticks` frames and says what each was: 'd' decoded (with the sequence in `played`),
// 'f' rebuilt by FEC, 'c' concealed, '.' silence.
std::string Play(JitterBuffer& buffer, int ticks, std::vector<uint32_t>* played = nullptr) {
  std::string what;
  for (int i = 0; i < ticks; ++i) {
    std::string packet;
    switch (buffer.Next(packet)) {
      case Action::kSilence:
        what += '.';
        break;
      case Action::kDecode:
        what += 'd';
        if (played)
          played->push_back(static_cast<uint32_t>(std::stoul(packet)));
        break;
      case Action::kDecodeFec:
        what += 'f';
        if (played)
          played->push_back(static_cast<uint32_t>(std::stoul(packet)) - 1);
        break;
      case Action::kConceal:
        what += 'c';
        break;
    }
  }
  return what;
}

void Put(JitterBuffer& buffer, std::initializer_list<uint32_t> sequences) {
  for (uint32_t s : sequences)
    buffer.Put(s, std::to_string(s));
}

TEST(JitterBufferTest, ReordersLosesAndConcealsAsTheArrivalsSay) {
  // Each case: packets that arrived before playout starts, then what playout does.
  struct Case {
    const char* name;
    std::initializer_list<uint32_t> arrived;
    int ticks;
    const char* expect;
    std::vector<uint32_t> played;
  } cases[] = {
      {"one packet waits for a second", {5}, 2, "..", {}},
      {"in order", {5, 6, 7}, 3, "ddd", {5, 6, 7}},
      {"reordered", {7, 5, 6}, 3, "ddd", {5, 6, 7}},
      {"duplicate played once", {5, 5, 6}, 2, "dd", {5, 6}},
      // 6 lost, 7 is there: 6 comes from 7's FEC, then 7 itself.
      {"one lost", {5, 7}, 3, "dfd", {5, 6, 7}},
      // 6 and 7 lost: 6 concealed, 7 from 8's FEC.
      {"two lost", {5, 8}, 4, "dcfd", {5, 7, 8}},
      // Nothing more comes: concealed up to the limit, then silence.
      {"underrun then silence", {5, 6}, 14, "ddcccccccccc..", {5, 6}},
      // Sequence numbers wrap around.
      {"wrapping", {0xFFFFFFFFu, 0, 1}, 3, "ddd", {0xFFFFFFFFu, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JitterBuffer buffer;
    Put(buffer, c.arrived);
    std::vector<uint32_t> played;
    EXPECT_EQ(Play(buffer, c.ticks, &played), c.expect);
    EXPECT_EQ(played, c.played);
  }
}

TEST(JitterBufferTest, LatePacketIsDroppedAndRaisesTheTarget) {
  JitterBuffer buffer;
  Put(buffer, {1, 2, 4});
  EXPECT_EQ(Play(buffer, 3), "ddf");  // 3 rebuilt from 4
  Put(buffer, {3});                   // 3 came after all
  EXPECT_EQ(buffer.stats().late, 1u);
  EXPECT_EQ(buffer.target(), JitterBuffer::kMinTarget + 1);
  // The raised target is made by one concealed frame in place, then 4 plays on.
  Put(buffer, {5, 6});
  std::vector<uint32_t> played;
  EXPECT_EQ(Play(buffer, 4, &played), "cddd");
  EXPECT_EQ(played, (std::vector<uint32_t>{4, 5, 6}));
}

TEST(JitterBufferTest, SilenceThenNewSpeechStartsAgain) {
  // A sender that was muted comes back with the next numbers: playout starts again from them.
  JitterBuffer buffer;
  Put(buffer, {1, 2});
  Play(buffer, 2 + JitterBuffer::kMaxConcealed + 1);
  EXPECT_FALSE(buffer.playing());
  Put(buffer, {3, 4});
  std::vector<uint32_t> played;
  EXPECT_EQ(Play(buffer, 2, &played), "dd");
  EXPECT_EQ(played, (std::vector<uint32_t>{3, 4}));
  // Numbers far from the last ones are a new count, not late or early packets to wait for.
  Put(buffer, {9000, 9001});
  EXPECT_EQ(Play(buffer, 2, &played), "dd");
  EXPECT_EQ(played, (std::vector<uint32_t>{3, 4, 9000, 9001}));
  EXPECT_EQ(buffer.stats().late, 0u);
}

TEST(JitterBufferTest, ClockDriftKeepsTheDelayBounded) {
  // The sender's clock runs 2% fast or 2% slow against playout for a minute (3000 frames).
  for (int permille : {1020, 980}) {
    SCOPED_TRACE(permille);
    JitterBuffer buffer;
    uint32_t sent = 0;
    int worst = 0;
    std::string what;
    for (int tick = 0; tick < 3000; ++tick) {
      while (sent * 1000 < static_cast<uint32_t>(tick + 1) * permille)
        buffer.Put(sent, std::to_string(sent)), ++sent;
      what += Play(buffer, 1);
      if (tick > 10)
        worst = std::max(worst, buffer.Depth());
    }
    EXPECT_LE(worst, buffer.target() + JitterBuffer::kSlack + 1);
    // Playout never went silent: every frame was sound (decoded, rebuilt or concealed).
    EXPECT_EQ(what.find('.', 3), std::string::npos);
    if (permille > 1000)
      EXPECT_GT(buffer.stats().driftDropped, 0u);
    else
      EXPECT_GT(buffer.stats().concealed, 0u);
  }
}

TEST(JitterBufferTest, AFloodOfPacketsKeepsOnlyTheNewestSecond) {
  JitterBuffer buffer;
  for (uint32_t s = 0; s < 500; ++s)
    buffer.Put(s, std::to_string(s));
  EXPECT_EQ(buffer.stats().overflow, 450u);
  std::vector<uint32_t> played;
  Play(buffer, 1, &played);
  EXPECT_EQ(played, (std::vector<uint32_t>{450}));
}

}  // namespace
