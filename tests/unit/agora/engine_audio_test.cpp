// Voice through the engine's public interface: engines in this process with WAV files as their
// microphones and speakers, talking through a channel server that the test runs. What one says
// must come out of the other's speaker file, aligned and recognisable; muting, disabling audio
// and leaving must stop it; a third member hears both; 10% loss leaves no gaps; bad packets are
// dropped and counted; missing devices are warnings, and the join goes on.
#include <gtest/gtest.h>
#include <winsock2.h>
// after winsock2.h
#include <windows.h>
// after windows.h
#include <mmsystem.h>

#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "IAgoraRtcEngine.h"
#include "audio_wav.h"
#include "channel_protocol.h"
#include "channel_server.h"
#include "raw_member.h"
#include "support/temp_dir.h"
#include "support/voice_events.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

using namespace agora::rtc;
using zarvik_test::RecordingEventHandler;

const char kAppId[] = "9f3e6a2d5c8b47e1a0d4f7c2b6e9a153";

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1)
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

long long NowUs() {
  LARGE_INTEGER f, now;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&now);
  return static_cast<long long>(now.QuadPart / f.QuadPart * 1000000 +
                                now.QuadPart % f.QuadPart * 1000000 / f.QuadPart);
}

// Records warnings too.
class Events : public RecordingEventHandler {
 public:
  void onWarning(int warn, const char* msg) override {
    std::lock_guard<std::mutex> guard(m_lock);
    m_warnings.push_back(std::to_string(warn) + " " + (msg ? msg : ""));
  }
  std::vector<std::string> Warnings() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_warnings;
  }

 private:
  std::mutex m_lock;
  std::vector<std::string> m_warnings;
};

// One engine set up as the client sets it up (live broadcasting, broadcaster, audio profile 5
// with scenario 4), with the given microphone and speaker files.
struct Engine {
  Engine(uint16_t port, const std::wstring& input, const std::wstring& output, bool loop = false) {
    engine = createAgoraRtcEngine();
    RtcEngineContext context;
    context.eventHandler = &events;
    context.appId = kAppId;
    engine->initialize(context);
    AParameter parameter(engine);
    parameter->setString("rtc.channel_server", ("127.0.0.1:" + std::to_string(port)).c_str());
    if (!input.empty())
      parameter->setString("rtc.audio.input_file", Utf8(input).c_str());
    if (loop)
      parameter->setBool("rtc.audio.input_loop", true);
    if (!output.empty())
      parameter->setString("rtc.audio.output_file", Utf8(output).c_str());
    engine->setChannelProfile(CHANNEL_PROFILE_LIVE_BROADCASTING);
    engine->setClientRole(CLIENT_ROLE_BROADCASTER);
    engine->enableAudio();
    engine->setAudioProfile(AUDIO_PROFILE_MUSIC_HIGH_QUALITY_STEREO, AUDIO_SCENARIO_SHOWROOM);
  }
  ~Engine() { Release(); }
  void Release() {
    if (engine)
      engine->release(true);
    engine = nullptr;
  }
  std::string Parameter(const char* key) {
    AParameter parameter(engine);
    agora::util::AString value;
    if (parameter->getString(key, value) != 0 || !value)
      return "";
    return value->c_str();
  }
  // One figure of "rtc.audio.stats".
  unsigned Stat(const std::string& name) {
    std::string stats = Parameter("rtc.audio.stats");
    size_t at = stats.find("\"" + name + "\":");
    return at == std::string::npos
               ? ~0u
               : static_cast<unsigned>(strtoul(stats.c_str() + at + name.size() + 3, nullptr, 10));
  }
  long long Start(const char* key) { return atoll(Parameter(key).c_str()); }
  void Join(const char* channel, uid_t uid) {
    ASSERT_EQ(engine->joinChannel("", channel, nullptr, uid), 0);
    ASSERT_NE(events.WaitFor("join " + std::string(channel) + " uid=" + std::to_string(uid)), "");
  }

  Events events;
  IRtcEngine* engine = nullptr;
};

// Something like speech at 16 kHz: syllables of a few harmonics of a voice's pitch, each with
// its own length, pitch and loudness, with pauses between them.
std::vector<int16_t> SpeechLike(double seconds, uint32_t seed) {
  std::vector<int16_t> out(static_cast<size_t>(seconds * 16000), 0);
  size_t at = 1600;
  while (at < out.size()) {
    seed = seed * 1664525u + 1013904223u;
    size_t length = 1600 + (seed >> 8) % 2800;  // 100 to 275 ms
    double pitch = 110 + (seed >> 4) % 140;
    double level = 3000 + (seed >> 12) % 9000;
    for (size_t i = 0; i < length && at + i < out.size(); ++i) {
      double envelope = sin(kPi * i / length);
      double v = 0;
      for (int h = 1; h <= 5; ++h)
        v += sin(2 * kPi * pitch * h * i / 16000.0) / h;
      out[at + i] = static_cast<int16_t>(level * envelope * v / 2);
    }
    seed = seed * 1664525u + 1013904223u;
    at += length + 800 + (seed >> 8) % 3200;  // pauses of 50 to 250 ms
  }
  return out;
}

// A steady tone at 16 kHz.
std::vector<int16_t> ToneSamples(double seconds, double hz, double level) {
  std::vector<int16_t> out(static_cast<size_t>(seconds * 16000));
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<int16_t>(level * sin(2 * kPi * hz * i / 16000.0));
  return out;
}

bool WriteWav(const std::wstring& path, const std::vector<int16_t>& samples16k) {
  agora_standin::WavWriter writer;
  return writer.Open(path, 16000, 1) && writer.Write(samples16k.data(), samples16k.size());
}

// The left channel of a speaker file (48 kHz stereo).
std::vector<int16_t> ReadSpeaker(const std::wstring& path) {
  std::string bytes, error;
  agora_standin::WavData wav;
  std::vector<int16_t> left;
  if (!agora_standin::ReadWholeFile(path, bytes, 1 << 28) ||
      !agora_standin::ParseWav(bytes, wav, error) || wav.channels != 2 || wav.rate != 48000)
    return left;
  for (size_t i = 0; i < wav.samples.size(); i += 2)
    left.push_back(wav.samples[i]);
  return left;
}

// Loudness in 10 ms steps (RMS of 480 samples at 48 kHz).
std::vector<double> Envelope(const std::vector<int16_t>& pcm, size_t from = 0, size_t to = ~0u) {
  std::vector<double> env;
  to = std::min(to, pcm.size());
  for (size_t i = from; i + 480 <= to; i += 480) {
    double e = 0;
    for (size_t j = 0; j < 480; ++j)
      e += static_cast<double>(pcm[i + j]) * pcm[i + j];
    env.push_back(sqrt(e / 480));
  }
  return env;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b, size_t offset) {
  size_t n = std::min(a.size(), b.size() - std::min(b.size(), offset));
  if (n < 10)
    return 0;
  double ma = 0, mb = 0;
  for (size_t i = 0; i < n; ++i) {
    ma += a[i];
    mb += b[offset + i];
  }
  ma /= n;
  mb /= n;
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < n; ++i) {
    ab += (a[i] - ma) * (b[offset + i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[offset + i] - mb) * (b[offset + i] - mb);
  }
  return aa > 0 && bb > 0 ? ab / sqrt(aa * bb) : 0;
}

// Where (in 10 ms steps) the input's envelope best matches the output's, and how well.
std::pair<size_t, double> Align(const std::vector<double>& input,
                                const std::vector<double>& output) {
  std::pair<size_t, double> best(0, -1);
  for (size_t offset = 0; offset + input.size() / 2 < output.size(); ++offset) {
    double c = Correlation(input, output, offset);
    if (c > best.second)
      best = {offset, c};
  }
  return best;
}

double Rms(const std::vector<int16_t>& pcm, size_t from, size_t to) {
  to = std::min(to, pcm.size());
  if (from >= to)
    return -1;
  double e = 0;
  for (size_t i = from; i < to; ++i)
    e += static_cast<double>(pcm[i]) * pcm[i];
  return sqrt(e / (to - from));
}

// The index in the speaker file of the sample played at time us.
size_t At(Engine& speaker, long long us) {
  long long start = speaker.Start("rtc.audio.output_start_us");
  return us <= start ? 0 : static_cast<size_t>((us - start) * 48 / 1000);
}

class EngineAudioTest : public testing::Test {
 protected:
  void SetUp() override {
    m_server.SetLogSink([](const std::string&) {});
    ASSERT_TRUE(m_server.Start("127.0.0.1", 0));
    m_port = m_server.port();
  }
  channel_server::ChannelServer m_server;
  uint16_t m_port = 0;
  zarvik_test::TempDir m_dir;
};

TEST_F(EngineAudioTest, SpeechComesThroughAlignedAndMuteDisableAndLeaveStopIt) {
  std::vector<int16_t> speech = SpeechLike(3.0, 7);
  ASSERT_TRUE(WriteWav(m_dir.File(L"speech.wav"), speech));
  Engine b(m_port, L"", m_dir.File(L"b.wav"));
  b.Join("talk", 2);
  Engine a(m_port, m_dir.File(L"speech.wav"), L"", /*loop=*/true);
  a.Join("talk", 1);
  ASSERT_NE(b.events.WaitFor("user-joined 1"), "");

  Sleep(3500);  // the speech once, and a bit of its second round
  RtcEngineParameters(a.engine).muteLocalAudioStream(true);
  long long muted = NowUs();
  Sleep(1000);
  RtcEngineParameters(a.engine).muteLocalAudioStream(false);
  long long unmuted = NowUs();
  Sleep(1000);
  a.engine->disableAudio();
  long long disabled = NowUs();
  Sleep(1000);
  a.engine->enableAudio();
  long long enabled = NowUs();
  Sleep(1500);
  ASSERT_EQ(a.engine->leaveChannel(), 0);
  long long left = NowUs();
  Sleep(1000);
  long long end = NowUs();
  size_t mutedAt = At(b, muted), unmutedAt = At(b, unmuted), disabledAt = At(b, disabled),
         enabledAt = At(b, enabled), leftAt = At(b, left), endAt = At(b, end);
  long long inputStart = a.Start("rtc.audio.input_start_us");
  long long outputStart = b.Start("rtc.audio.output_start_us");
  unsigned sent = a.Stat("sent"), refused = b.Stat("refused");
  printf("A %s\nB %s\n", a.Parameter("rtc.audio.stats").c_str(),
         b.Parameter("rtc.audio.stats").c_str());
  b.Release();
  std::vector<int16_t> heard = ReadSpeaker(m_dir.File(L"b.wav"));
  ASSERT_GT(heard.size(), endAt * 9 / 10);
  EXPECT_GT(sent, 150u);
  EXPECT_EQ(refused, 0u);

  // The speech is there, recognisably: the envelopes of what A said and what B heard before the
  // mute correlate closely once aligned.
  agora_standin::WavData source;
  source.rate = 16000;
  source.channels = 1;
  source.samples = speech;
  std::vector<int16_t> said = agora_standin::ConvertTo48k(source, 1);
  auto aligned = Align(Envelope(said), Envelope(heard, 0, mutedAt));
  EXPECT_GT(aligned.second, 0.8);
  // When A's first sample came out of B: the offset of the alignment on the common clock.
  long long delayUs = outputStart + static_cast<long long>(aligned.first) * 10000 - inputStart;
  printf("envelope correlation %.3f, mouth-to-ear %.1f ms\n", aligned.second, delayUs / 1000.0);

  // Muted, disabled and left: silence from 500 ms after each (what was still in the jitter
  // buffer, up to 120 ms, and the concealment of up to 200 ms that follows the last packet),
  // sound again after unmuting and enabling.
  const size_t settle = 48 * 500;
  struct Span {
    const char* name;
    size_t from, to;
    bool sound;
  } spans[] = {
      {"muted", mutedAt + settle, unmutedAt, false},
      {"unmuted", unmutedAt + settle, disabledAt, true},
      {"disabled", disabledAt + settle, enabledAt, false},
      {"enabled again", enabledAt + settle, leftAt, true},
      {"left", leftAt + settle, endAt, false},
  };
  for (const Span& span : spans) {
    SCOPED_TRACE(span.name);
    double rms = Rms(heard, span.from, span.to);
    if (span.sound)
      EXPECT_GT(rms, 300);
    else
      EXPECT_EQ(rms, 0);
  }
}

TEST_F(EngineAudioTest, AThirdMemberHearsBothMixed) {
  // A says 500 Hz, C says 1300 Hz, both loud enough that their sum clips; B hears both.
  ASSERT_TRUE(WriteWav(m_dir.File(L"low.wav"), ToneSamples(2, 500, 20000)));
  ASSERT_TRUE(WriteWav(m_dir.File(L"high.wav"), ToneSamples(2, 1300, 20000)));
  Engine b(m_port, L"", m_dir.File(L"b.wav"));
  b.Join("three", 2);
  Engine a(m_port, m_dir.File(L"low.wav"), L"", true);
  Engine c(m_port, m_dir.File(L"high.wav"), L"", true);
  a.Join("three", 1);
  c.Join("three", 3);
  ASSERT_NE(b.events.WaitFor("user-joined 1"), "");
  ASSERT_NE(b.events.WaitFor("user-joined 3"), "");
  Sleep(1500);
  long long from = NowUs();
  Sleep(1000);
  long long to = NowUs();
  size_t fromAt = At(b, from), toAt = At(b, to);
  b.Release();
  std::vector<int16_t> heard = ReadSpeaker(m_dir.File(L"b.wav"));
  ASSERT_GE(heard.size(), toAt * 9 / 10);
  toAt = std::min(toAt, heard.size());
  ASSERT_GT(toAt, fromAt + 48000 / 2);
  // The strength of a frequency in that second (Goertzel), against a frequency nobody said.
  auto power = [&](double hz) {
    double k = 2 * cos(2 * kPi * hz / 48000), s1 = 0, s2 = 0;
    for (size_t i = fromAt; i < toAt; ++i) {
      double s = heard[i] + k * s1 - s2;
      s2 = s1;
      s1 = s;
    }
    return (s1 * s1 + s2 * s2 - k * s1 * s2) / (toAt - fromAt);
  };
  // 2250 Hz is no sum or difference of multiples of 500 and 1300 (clipping makes those).
  double low = power(500), high = power(1300), none = power(2250);
  EXPECT_GT(low, none * 100);
  EXPECT_GT(high, none * 100);
  EXPECT_GT(low, high / 4);
  EXPECT_GT(high, low / 4);
}

TEST_F(EngineAudioTest, TenPercentLossLeavesNoGapLongerThanAFrame) {
  m_server.SetAudioLoss(10, 12345);
  ASSERT_TRUE(WriteWav(m_dir.File(L"tone.wav"), ToneSamples(1, 440, 6000)));
  Engine b(m_port, L"", m_dir.File(L"b.wav"));
  b.Join("lossy", 2);
  Engine a(m_port, m_dir.File(L"tone.wav"), L"", true);
  a.Join("lossy", 1);
  ASSERT_NE(b.events.WaitFor("user-joined 1"), "");
  Sleep(500);
  long long from = NowUs();
  Sleep(4000);
  long long to = NowUs();
  size_t fromAt = At(b, from), toAt = At(b, to);
  unsigned concealed = b.Stat("concealed") + b.Stat("fec"), decoded = b.Stat("decoded");
  b.Release();
  channel_server::ChannelServer::AudioCounts counts = m_server.Audio();
  std::vector<int16_t> heard = ReadSpeaker(m_dir.File(L"b.wav"));
  toAt = std::min(toAt, heard.size());
  ASSERT_GT(toAt, fromAt + 48000 * 3);
  // About a tenth was dropped, and each dropped frame was made up by the receiver.
  EXPECT_GT(counts.lost, (counts.lost + counts.relayed) / 20);
  EXPECT_LT(counts.lost, (counts.lost + counts.relayed) / 5);
  EXPECT_GE(concealed, counts.lost * 3 / 4);
  EXPECT_GT(decoded, 150u);
  // No run of silence longer than one frame, and no 20 ms stretch near silence (concealment
  // fades over lost frames in a row, but never to nothing within one or two).
  size_t run = 0, longest = 0;
  for (size_t i = fromAt; i < toAt; ++i) {
    run = heard[i] == 0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  EXPECT_LE(longest, 960u);
  double quietest = 1e9;
  for (size_t i = fromAt; i + 960 <= toAt; i += 960)
    quietest = std::min(quietest, Rms(heard, i, i + 960));
  EXPECT_GT(quietest, 6000 / sqrt(2.0) / 50);
  printf("quietest 20 ms: RMS %.0f of the tone's %.0f\n", quietest, 6000 / sqrt(2.0));
}

TEST_F(EngineAudioTest, BadPacketsAreDroppedAndCountedAndGoodOnesStillPlay) {
  // The test plays the channel server, so it can send the engine what no server would relay.
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  int size = sizeof(address);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  Engine a(ntohs(address.sin_port), L"", m_dir.File(L"a.wav"));
  ASSERT_EQ(a.engine->joinChannel("", "bad", nullptr, 1), 0);
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(listener, &readable);
  timeval timeout = {10, 0};
  ASSERT_EQ(select(0, &readable, nullptr, nullptr, &timeout), 1);
  zarvik_test::RawMember server(accept(listener, nullptr, nullptr));
  closesocket(listener);
  using namespace channel_protocol;
  std::string payload;
  ASSERT_TRUE(server.WaitFor(kJoin, payload, 5000));
  ASSERT_TRUE(server.Send(Writer(kJoined).U32(1).Finish()));
  ASSERT_TRUE(server.Send(Writer(kUserJoined).U32(7).Finish()));
  ASSERT_NE(a.events.WaitFor("user-joined 7"), "");

  // A packet the decoder takes: TOC 0xFC (one 20 ms frame, full band, stereo) and two bytes.
  const std::string silence("\xFC\xFF\xFE", 3);
  auto audio = [](uint32_t uid, uint32_t sequence, const std::string& packet) {
    return Writer(kRemoteAudio).U32(uid).U32(sequence).Bytes(packet.data(), packet.size()).Finish();
  };
  struct Case {
    const char* name;
    std::string message;
  } bad[] = {
      {"oversize", audio(7, 0, std::string(1276, '\x7C'))},
      {"far oversize", audio(7, 1, std::string(200000, '\x01'))},
      {"empty", audio(7, 2, "")},
      {"frame count past 120 ms", audio(7, 3, std::string("\xFF\x28", 2) + std::string(40, '\0'))},
      {"frame length past the end", audio(7, 4, std::string("\xFE\xFB\x03", 3) + "0123456789")},
      {"10 ms frame", audio(7, 5, std::string("\xF4\xFF\xFE", 3))},
  };
  for (const Case& c : bad)
    ASSERT_TRUE(server.Send(c.message)) << c.name;
  // Cut short before its sequence number: skipped like any message too short for its type.
  ASSERT_TRUE(server.Send(Writer(kRemoteAudio).U32(7).U16(1).Finish()));
  // From a user who is not in the channel: ignored, not counted as refused.
  ASSERT_TRUE(server.Send(audio(8, 0, silence)));
  for (uint32_t s = 10; s < 20; ++s)
    ASSERT_TRUE(server.Send(audio(7, s, silence)));
  for (int i = 0; i < 100 && a.Stat("decoded") < 5; ++i)
    Sleep(50);
  EXPECT_EQ(a.Stat("refused"), static_cast<unsigned>(sizeof(bad) / sizeof(bad[0])));
  EXPECT_EQ(a.Stat("received"), 10u);
  EXPECT_GE(a.Stat("decoded"), 5u);
  // The engine is still well: it leaves normally.
  EXPECT_EQ(a.engine->leaveChannel(), 0);
  EXPECT_EQ(a.events.WaitFor("leave"), "leave");
}

TEST_F(EngineAudioTest, TheServerDropsBadPacketsAndRelaysOnlyGoodOnes) {
  Engine b(m_port, L"", m_dir.File(L"b.wav"));
  b.Join("relay", 2);
  zarvik_test::RawMember raw(m_port);
  ASSERT_EQ(raw.Join("relay", 1), 1u);
  ASSERT_NE(b.events.WaitFor("user-joined 1"), "");
  using namespace channel_protocol;
  const std::string silence("\xFC\xFF\xFE", 3);  // one 20 ms frame the decoder takes
  ASSERT_TRUE(
      raw.Send(Writer(kAudioFrame).U32(0).Bytes(std::string(1276, 'x').data(), 1276).Finish()));
  ASSERT_TRUE(raw.Send(Writer(kAudioFrame).U32(1).Finish()));
  ASSERT_TRUE(raw.Send(Writer(kAudioFrame).U32(2).Bytes(silence.data(), 3).Finish()));
  for (int i = 0; i < 100 && b.Stat("received") < 1; ++i)
    Sleep(50);
  EXPECT_EQ(m_server.Audio().refused, 2u);
  EXPECT_EQ(m_server.Audio().relayed, 1u);
  EXPECT_EQ(b.Stat("received"), 1u);
  EXPECT_EQ(b.Stat("refused"), 0u);
}

TEST_F(EngineAudioTest, MissingDevicesAreWarningsAndTheJoinGoesOn) {
  // A microphone file that is not there, one that is not 16-bit PCM, and a speaker file in a
  // folder that is not there.
  std::string eightBit = agora_standin::WavHeader(16000, 1, 4) + "abcd";
  eightBit[34] = 8;
  FILE* f = _wfopen(m_dir.File(L"8bit.wav").c_str(), L"wb");
  ASSERT_TRUE(f);
  fwrite(eightBit.data(), 1, eightBit.size(), f);
  fclose(f);
  struct Case {
    const char* name;
    std::wstring input, output;
    const char* warning;
  } cases[] = {
      {"missing microphone file", m_dir.File(L"none.wav"), m_dir.File(L"out.wav"),
       "1021 cannot read"},
      {"8-bit microphone file", m_dir.File(L"8bit.wav"), m_dir.File(L"out.wav"),
       "1021 the microphone file"},
      {"speaker in a missing folder", m_dir.File(L"8bit.wav"), m_dir.File(L"no\\out.wav"),
       "1020 cannot write"},
  };
  uid_t uid = 5;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Engine a(m_port, c.input, c.output);
    a.Join("devices", uid++);
    Sleep(300);
    bool found = false;
    for (const std::string& w : a.events.Warnings())
      found = found || w.compare(0, strlen(c.warning), c.warning) == 0;
    EXPECT_TRUE(found);
    EXPECT_FALSE(a.events.Has("error"));
    EXPECT_EQ(a.engine->leaveChannel(), 0);
  }
}

}  // namespace

namespace {

// The real device path, where the system has sound devices (a machine with a sound card, or
// Wine with an ALSA null device: see the engine's README): with no files named, the engine opens
// the default wave-in and wave-out devices, captures frames from wave-in and sends them, and
// plays what it hears, without a warning. Skipped where there are no wave devices.
TEST_F(EngineAudioTest, TheDefaultDevicesCaptureAndPlayWhereThereAreAny) {
  if (waveInGetNumDevs() == 0 || waveOutGetNumDevs() == 0)
    GTEST_SKIP() << "no wave-in or wave-out device here";
  Engine b(m_port, L"", L"");
  b.Join("devices", 2);
  Engine a(m_port, L"", L"");
  a.Join("devices", 1);
  for (int i = 0; i < 100 && (a.Stat("sent") < 50 || b.Stat("decoded") < 25); ++i)
    Sleep(50);
  EXPECT_GE(a.Stat("sent"), 50u);
  EXPECT_GE(b.Stat("decoded"), 25u);
  EXPECT_TRUE(a.events.Warnings().empty()) << a.events.Warnings().front();
  EXPECT_TRUE(b.events.Warnings().empty()) << b.events.Warnings().front();
}

}  // namespace
