// Voice audio: engines in this process (the channel server too, from its library) with WAV files
// as microphones and speakers.
//
// - Mouth-to-ear delay: A's microphone file holds short 2 kHz clicks every 400 ms; each click's
//   time is its sample's capture time in A (the first sample's time plus its index) and its
//   playback time in B (the first played sample's time plus its index in B's speaker file), on
//   one clock. Floor: one 20 ms frame plus the jitter buffer's minimum of one frame.
// - Speech: the envelope correlation (10 ms RMS steps) of what A says and what B hears, aligned,
//   clean and with the server dropping 10% of the audio packets. (PESQ would be the measure the
//   goals name; it needs Python's `pesq` package, which cannot be installed here.) Floor: 1.
// - CPU per client in a channel of 4 that all talk, from this process's CPU time over 10 s,
//   divided by 4 (the server's share included); floor: the same 4 joined with audio disabled.
//
//   bench_voice_audio.exe [SPEECH.wav]   (default: a built-in speech-like signal)
#include <winsock2.h>
// after winsock2.h
#include <windows.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "IAgoraRtcEngine.h"
#include "audio_wav.h"
#include "bench_clock.h"
#include "channel_server.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

using namespace agora::rtc;
using zarvik_bench::Stats;
using zarvik_bench::Summarise;

const char kAppId[] = "9f3e6a2d5c8b47e1a0d4f7c2b6e9a153";

std::wstring g_dir;

std::string Utf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1)
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &out[0], n, nullptr, nullptr);
  return out;
}

class Quiet : public IRtcEngineEventHandler {};

struct Engine {
  Engine(uint16_t port, const std::wstring& input, const std::wstring& output) {
    engine = createAgoraRtcEngine();
    RtcEngineContext context;
    context.eventHandler = &events;
    context.appId = kAppId;
    engine->initialize(context);
    AParameter parameter(engine);
    parameter->setString("rtc.channel_server", ("127.0.0.1:" + std::to_string(port)).c_str());
    parameter->setString("rtc.audio.input_file", input.empty() ? "" : Utf8(input).c_str());
    parameter->setBool("rtc.audio.input_loop", true);
    parameter->setString("rtc.audio.output_file", Utf8(output).c_str());
    engine->setChannelProfile(CHANNEL_PROFILE_LIVE_BROADCASTING);
    engine->setClientRole(CLIENT_ROLE_BROADCASTER);
    engine->enableAudio();
    engine->setAudioProfile(AUDIO_PROFILE_MUSIC_HIGH_QUALITY_STEREO, AUDIO_SCENARIO_SHOWROOM);
  }
  ~Engine() { engine->release(true); }
  long long Start(const char* key) {
    AParameter parameter(engine);
    agora::util::AString value;
    if (parameter->getString(key, value) != 0 || !value)
      return 0;
    return atoll(value->c_str());
  }
  Quiet events;
  IRtcEngine* engine;
};

bool WriteWav(const std::wstring& path, int rate, const std::vector<int16_t>& mono) {
  agora_standin::WavWriter writer;
  return writer.Open(path, rate, 1) && writer.Write(mono.data(), mono.size());
}

std::vector<int16_t> ReadLeft(const std::wstring& path) {
  std::string bytes, error;
  agora_standin::WavData wav;
  std::vector<int16_t> left;
  if (!agora_standin::ReadWholeFile(path, bytes, 1 << 28) ||
      !agora_standin::ParseWav(bytes, wav, error) || wav.channels != 2)
    return left;
  for (size_t i = 0; i < wav.samples.size(); i += 2)
    left.push_back(wav.samples[i]);
  return left;
}

// The same speech-like signal as the unit tests: syllables of a voice's harmonics and pauses.
std::vector<int16_t> SpeechLike(double seconds, uint32_t seed) {
  std::vector<int16_t> out(static_cast<size_t>(seconds * 16000), 0);
  size_t at = 1600;
  while (at < out.size()) {
    seed = seed * 1664525u + 1013904223u;
    size_t length = 1600 + (seed >> 8) % 2800;
    double pitch = 110 + (seed >> 4) % 140;
    double level = 3000 + (seed >> 12) % 9000;
    for (size_t i = 0; i < length && at + i < out.size(); ++i) {
      double v = 0;
      for (int h = 1; h <= 5; ++h)
        v += sin(2 * kPi * pitch * h * i / 16000.0) / h;
      out[at + i] = static_cast<int16_t>(level * sin(kPi * i / length) * v / 2);
    }
    seed = seed * 1664525u + 1013904223u;
    at += length + 800 + (seed >> 8) % 3200;
  }
  return out;
}

// A joins a channel that B is in, talks for `seconds`, and B's speaker file is returned with
// the common-clock times of A's first captured and B's first played sample.
struct Heard {
  std::vector<int16_t> pcm;
  long long inputStart = 0, outputStart = 0;
};

Heard Talk(const std::wstring& input, double seconds, int lossPercent, const std::wstring& tag) {
  channel_server::ChannelServer server;
  server.SetLogSink([](const std::string&) {});
  server.Start("127.0.0.1", 0);
  server.SetAudioLoss(lossPercent, 777);
  std::wstring output = g_dir + L"heard-" + tag + L".wav";
  Heard heard;
  {
    Engine b(server.port(), L"", output);
    b.engine->joinChannel("", "bench", nullptr, 2);
    Sleep(500);
    Engine a(server.port(), input, g_dir + L"unused-" + tag + L".wav");
    a.engine->joinChannel("", "bench", nullptr, 1);
    Sleep(static_cast<DWORD>(seconds * 1000));
    heard.inputStart = a.Start("rtc.audio.input_start_us");
    heard.outputStart = b.Start("rtc.audio.output_start_us");
  }
  heard.pcm = ReadLeft(output);
  return heard;
}

std::vector<double> Envelope(const std::vector<int16_t>& pcm) {
  std::vector<double> env;
  for (size_t i = 0; i + 480 <= pcm.size(); i += 480) {
    double e = 0;
    for (size_t j = 0; j < 480; ++j)
      e += static_cast<double>(pcm[i + j]) * pcm[i + j];
    env.push_back(sqrt(e / 480));
  }
  return env;
}

double BestCorrelation(const std::vector<double>& a, const std::vector<double>& b) {
  double best = -1;
  for (size_t offset = 0; offset + a.size() <= b.size(); ++offset) {
    double ma = 0, mb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      ma += a[i];
      mb += b[offset + i];
    }
    ma /= a.size();
    mb /= a.size();
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      ab += (a[i] - ma) * (b[offset + i] - mb);
      aa += (a[i] - ma) * (a[i] - ma);
      bb += (b[offset + i] - mb) * (b[offset + i] - mb);
    }
    if (aa > 0 && bb > 0)
      best = std::max(best, ab / sqrt(aa * bb));
  }
  return best;
}

void Row(const char* label,
         const char* unit,
         const Stats& ours,
         const Stats& floor,
         const char* goal) {
  printf("ROW\t%s\t%s\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\t%s\n", label, unit, ours.median,
         ours.min, ours.max, floor.median, floor.min, floor.max, goal);
  fflush(stdout);
}

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Share of one core per client while four clients sit in one channel for 10 s.
double CpuPerClient(const std::wstring& speech, bool audio) {
  channel_server::ChannelServer server;
  server.SetLogSink([](const std::string&) {});
  server.Start("127.0.0.1", 0);
  std::vector<std::unique_ptr<Engine>> engines;
  for (int i = 0; i < 4; ++i) {
    std::wstring tag = std::to_wstring(i) + (audio ? L"a" : L"q");
    engines.emplace_back(new Engine(server.port(), speech, g_dir + L"cpu-" + tag + L".wav"));
    if (!audio)
      engines.back()->engine->disableAudio();
    engines.back()->engine->joinChannel("", "four", nullptr, static_cast<uid_t>(i + 1));
  }
  Sleep(1000);
  double cpu = CpuSeconds(), wall = zarvik_bench::Now();
  Sleep(10000);
  cpu = CpuSeconds() - cpu;
  wall = zarvik_bench::Now() - wall;
  return 100 * cpu / wall / 4;
}

}  // namespace

int main(int argc, char** argv) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  g_dir =
      std::wstring(temp) + L"zarvik-bench-audio-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(g_dir.c_str(), nullptr);

  // Speech: the file given, else the built-in signal.
  std::wstring speech = g_dir + L"speech.wav";
  std::vector<int16_t> said48;
  {
    agora_standin::WavData wav;
    std::string bytes, error;
    if (argc > 1) {
      std::wstring given = agora_standin::DevicePath(argv[1]);
      if (!agora_standin::ReadWholeFile(given, bytes, 1 << 28) ||
          !agora_standin::ParseWav(bytes, wav, error)) {
        fprintf(stderr, "cannot use %s: %s\n", argv[1], error.c_str());
        return 1;
      }
      speech = given;
      printf("speech: %s\n", argv[1]);
    } else {
      wav.rate = 16000;
      wav.channels = 1;
      wav.samples = SpeechLike(4.0, 11);
      WriteWav(speech, 16000, wav.samples);
      printf("speech: built-in speech-like signal, 4 s\n");
    }
    said48 = agora_standin::ConvertTo48k(wav, 1);
  }
  const double speechSeconds = said48.size() / 48000.0;

  // Delay: 10 ms clicks every 400 ms at 48 kHz.
  std::wstring clicks = g_dir + L"clicks.wav";
  std::vector<size_t> clickAt;
  {
    std::vector<int16_t> pcm(48000 * 4, 0);
    for (size_t at = 9600; at + 480 < pcm.size(); at += 19200) {
      clickAt.push_back(at);
      for (size_t i = 0; i < 480; ++i)
        pcm[at + i] = static_cast<int16_t>(16000 * sin(2 * kPi * 2000 * i / 48000.0));
    }
    WriteWav(clicks, 48000, pcm);
  }
  std::vector<double> delays;
  for (int round = 0; round < 3; ++round) {
    Heard heard = Talk(clicks, 6, 0, L"clicks" + std::to_wstring(round));
    if (heard.inputStart == 0 || heard.outputStart == 0)
      continue;
    // Each onset in B's output (loud after 100 ms of quiet), against the click before it.
    size_t quiet = 0;
    for (size_t j = 0; j < heard.pcm.size(); ++j) {
      bool loud = abs(heard.pcm[j]) > 3000;
      if (loud && quiet >= 4800) {
        double played = heard.outputStart / 1e6 + j / 48000.0;
        double best = -1;
        // Clicks repeat with the looping file (every 4 s).
        for (int loop = 0; loop < 3; ++loop) {
          for (size_t at : clickAt) {
            double captured = heard.inputStart / 1e6 + (at + loop * 192000.0) / 48000.0;
            double d = played - captured;
            if (d >= 0 && d < 0.4)
              best = d;
          }
        }
        if (best >= 0)
          delays.push_back(best * 1000);
      }
      quiet = loud ? 0 : quiet + 1;
    }
  }
  if (delays.empty()) {
    fprintf(stderr, "no click came through\n");
    return 1;
  }
  printf("mouth-to-ear: %zu clicks\n", delays.size());
  Stats floor = {40, 40, 40};
  Row("mouth-to-ear delay, 20 ms frames", "ms", Summarise(delays), floor, "<=60");

  for (int loss : {0, 10}) {
    std::vector<double> correlations;
    for (int round = 0; round < 2; ++round) {
      Heard heard = Talk(speech, speechSeconds + 1.5, loss,
                         L"speech" + std::to_wstring(loss) + L"-" + std::to_wstring(round));
      correlations.push_back(BestCorrelation(Envelope(said48), Envelope(heard.pcm)));
    }
    Stats one = {1, 1, 1};
    Row(loss ? "speech envelope correlation, 10% loss" : "speech envelope correlation, clean", "r",
        Summarise(correlations), one, "-");
  }

  std::vector<double> ours, bare;
  for (int round = 0; round < 2; ++round) {
    ours.push_back(CpuPerClient(speech, true));
    bare.push_back(CpuPerClient(speech, false));
  }
  Row("CPU per client, channel of 4 talking", "% core", Summarise(ours), Summarise(bare), "-");
  return 0;
}
