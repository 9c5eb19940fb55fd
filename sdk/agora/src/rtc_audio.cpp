// The engine's audio: a session's audio thread captures the microphone in 20 ms frames, encodes
// them with Opus and sends them while the local audio goes out, and each 20 ms plays what the
// remote users' jitter buffers give, mixed, on the speaker. Remote packets come in on the
// network thread (OnRemoteAudio).
//
// Devices: the default wave-in and wave-out devices, or WAV files named by the parameters
// "rtc.audio.input_file" (with "rtc.audio.input_loop": true to loop it) and
// "rtc.audio.output_file", or the environment variables AGORA_RTC_AUDIO_INPUT_FILE,
// AGORA_RTC_AUDIO_INPUT_LOOP (1) and AGORA_RTC_AUDIO_OUTPUT_FILE. Relative paths are taken from
// the program's folder.
#include <winsock2.h>
// after winsock2.h
#include <stdlib.h>

#include <algorithm>

#include "audio_codec.h"
#include "audio_devices.h"
#include "audio_wav.h"
#include "channel_protocol.h"
#include "channel_session.h"
#include "rtc_engine.h"

namespace agora_standin {

using namespace agora::rtc;
namespace proto = channel_protocol;

namespace {

// The audio device warnings of the SDK's warning list: the join goes on without the device.
constexpr int kWarnPlaybackDevice = 1020;
constexpr int kWarnRecordingDevice = 1021;
// Microphone files larger than this are refused (about 20 minutes of 48 kHz stereo).
constexpr size_t kMaxInputFileBytes = 256u * 1024u * 1024u;
// A thread that falls this far behind its 20 ms clock starts the clock again instead of
// catching up in a burst.
constexpr long long kMaxLateUs = 200000;

long long NowUs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<long long>(now.QuadPart / frequency.QuadPart * 1000000 +
                                now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}

// The microphone's stereo frame as the encoder's channels.
void ToChannels(const std::vector<int16_t>& stereo, int channels, std::vector<int16_t>& out) {
  if (channels == 2) {
    out = stereo;
    return;
  }
  out.resize(stereo.size() / 2);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<int16_t>((static_cast<int32_t>(stereo[2 * i]) + stereo[2 * i + 1]) / 2);
}

}  // namespace

struct RtcEngine::AudioSettings {
  bool enabled = false;
  bool capture = false;  // enabled, and a member whose audio can go out
  bool sending = false;  // capture, and not muted
  AudioProfileValues profile;
  std::string inputFile;
  bool inputLoop = false;
  std::string outputFile;
};

RtcEngine::AudioSettings RtcEngine::ReadAudioSettings() {
  AudioSettings s;
  std::lock_guard<std::mutex> guard(m_lock);
  auto value = [this](const char* key, const char* env, std::string& out) {
    auto it = m_parameters.find(key);
    if (it != m_parameters.end()) {
      out = it->second;
      return true;
    }
    if (const char* e = getenv(env)) {
      out = e;
      return true;
    }
    return false;
  };
  auto is = [this](const char* key, const char* v) {
    auto it = m_parameters.find(key);
    return it != m_parameters.end() && it->second == v;
  };
  bool muted = is("rtc.audio.mute_me", "true") || is("che.audio.mute_me", "true");
  s.enabled = m_audioEnabled;
  s.capture = m_audioEnabled &&
              (m_profile == CHANNEL_PROFILE_COMMUNICATION || m_role == CLIENT_ROLE_BROADCASTER);
  s.sending = s.capture && !muted;
  s.profile = ProfileValues(m_audioProfile, m_audioScenario, m_profile);
  value("rtc.audio.input_file", "AGORA_RTC_AUDIO_INPUT_FILE", s.inputFile);
  std::string loop;
  if (value("rtc.audio.input_loop", "AGORA_RTC_AUDIO_INPUT_LOOP", loop))
    s.inputLoop = loop == "true" || loop == "1";
  value("rtc.audio.output_file", "AGORA_RTC_AUDIO_OUTPUT_FILE", s.outputFile);
  return s;
}

void RtcEngine::AudioLoop(std::shared_ptr<Session> session) {
  std::unique_ptr<Microphone> microphone;
  std::unique_ptr<WaveOutSpeaker> deviceSpeaker;
  bool open = false;        // devices opened for this stretch of enabled audio
  bool inputTried = false;  // the microphone was tried (once per stretch)
  bool firstInput = true;
  AudioEncoder encoder;
  bool encoderFailed = false;
  uint32_t sequence = 0;
  std::vector<std::vector<int16_t>> frames;
  std::vector<int16_t> pcm;
  std::string packet;
  std::vector<int32_t> sum(static_cast<size_t>(kAudioFrameSamples) * kPlaybackChannels);
  std::vector<int16_t> out(sum.size());
  std::vector<int16_t> decoded(sum.size());
  long long clockStart = 0;
  long long ticks = 0;

  auto fail = [this, &session](int code, const std::string& text) {
    m_log.Write("warning: " + text);
    PostEvent(session->id,
              [code, text](IRtcEngineEventHandler* h) { h->onWarning(code, text.c_str()); });
  };
  auto close = [&] {
    if (open)
      m_log.Write("audio stopped");
    microphone.reset();
    deviceSpeaker.reset();
    open = false;
    inputTried = false;
  };

  while (!session->stop) {
    long long now = NowUs();
    long long due = clockStart + ticks * kAudioFrameMs * 1000;
    if (clockStart == 0 || now - due > kMaxLateUs) {
      if (clockStart != 0 && open)
        m_log.Write("audio thread " + std::to_string((now - due) / 1000) +
                    " ms late; its clock starts again");
      clockStart = now;
      ticks = 0;
      due = now;
    }
    if (now < due) {
      DWORD ms = static_cast<DWORD>((due - now) / 1000);
      Sleep(ms > 0 ? ms : 1);
      continue;
    }
    ++ticks;

    AudioSettings settings = ReadAudioSettings();
    if (!session->joined || !settings.enabled) {
      close();
      continue;
    }
    if (!open) {
      open = true;
      firstInput = true;
      m_log.Write("audio started: " + ProfileText(settings.profile) + ", 20 ms frames");
      if (!settings.outputFile.empty()) {
        if (!m_speakerFile || m_speakerFilePath != settings.outputFile) {
          m_speakerFile.reset(new FileSpeaker);
          m_speakerFilePath = settings.outputFile;
          if (m_speakerFile->Open(DevicePath(settings.outputFile))) {
            m_log.Write("speaker: file " + settings.outputFile);
          } else {
            m_speakerFile.reset();
            m_speakerFilePath.clear();
            fail(kWarnPlaybackDevice,
                 "cannot write the speaker file " + settings.outputFile + "; nothing is played");
          }
        }
      } else {
        deviceSpeaker.reset(new WaveOutSpeaker);
        std::string error;
        if (deviceSpeaker->Open(error)) {
          m_log.Write("speaker: the default playback device");
        } else {
          deviceSpeaker.reset();
          fail(kWarnPlaybackDevice, error + "; nothing is played");
        }
      }
    }

    // Capture: only a member whose audio can go out opens the microphone.
    if (settings.capture && !inputTried) {
      inputTried = true;
      if (!settings.inputFile.empty()) {
        std::string bytes, error;
        WavData wav;
        if (!ReadWholeFile(DevicePath(settings.inputFile), bytes, kMaxInputFileBytes)) {
          fail(kWarnRecordingDevice, "cannot read the microphone file " + settings.inputFile +
                                         " (missing, or larger than 256 MB); nothing is sent");
        } else if (!ParseWav(bytes, wav, error)) {
          fail(kWarnRecordingDevice,
               "the microphone file " + settings.inputFile + " is refused: " + error);
        } else {
          microphone.reset(new FileMicrophone(ConvertTo48k(wav, 2), 2, settings.inputLoop));
          m_log.Write("microphone: file " + settings.inputFile + ", " + std::to_string(wav.rate) +
                      " Hz, " + std::to_string(wav.channels) + " channel(s)" +
                      (settings.inputLoop ? ", looping" : ""));
        }
      } else {
        std::unique_ptr<WaveInMicrophone> device(new WaveInMicrophone(2));
        std::string error;
        if (device->Open(error)) {
          m_log.Write("microphone: the default recording device");
          microphone = std::move(device);
        } else {
          fail(kWarnRecordingDevice, error + "; nothing is sent");
        }
      }
    }
    if (!settings.capture) {
      microphone.reset();
      inputTried = false;
    }

    frames.clear();
    if (microphone) {
      bool wasEnded = microphone->ended();
      microphone->Read(frames);
      if (!frames.empty() && firstInput) {
        firstInput = false;
        // The first frame's first sample was captured one frame before it was complete.
        long long start = NowUs() - kAudioFrameMs * 1000;
        long long zero = 0;
        m_inputStartUs.compare_exchange_strong(zero, start);
      }
      if (!wasEnded && microphone->ended())
        m_log.Write("the microphone file ended");
    }
    if (settings.sending && !frames.empty()) {
      if (encoder.values().channels != settings.profile.channels ||
          encoder.values().bitrate != settings.profile.bitrate ||
          encoder.values().music != settings.profile.music ||
          encoder.values().sampleRate != settings.profile.sampleRate || encoderFailed) {
        std::string error;
        encoderFailed = !encoder.Configure(settings.profile, error);
        if (encoderFailed)
          m_log.Write("cannot create the Opus encoder: " + error);
      }
      for (auto& frame : frames) {
        ToChannels(frame, settings.profile.channels, pcm);
        if (encoderFailed || !encoder.Encode(pcm.data(), packet))
          continue;
        if (SendToServer(session, proto::Writer(proto::kAudioFrame)
                                      .U32(sequence++)
                                      .Bytes(packet.data(), packet.size())
                                      .Finish()))
          ++m_audioSent;
      }
    }

    // Playback.
    std::fill(sum.begin(), sum.end(), 0);
    {
      std::lock_guard<std::mutex> guard(session->audioLock);
      for (auto& entry : session->remoteAudio) {
        Session::RemoteAudio& remote = *entry.second;
        bool good = false;
        switch (remote.buffer.Next(packet)) {
          case JitterBuffer::Action::kSilence:
            continue;
          case JitterBuffer::Action::kDecode:
            good = remote.decoder.Decode(packet, decoded.data());
            ++m_audioDecoded;
            break;
          case JitterBuffer::Action::kDecodeFec:
            good = remote.decoder.DecodeFec(packet, decoded.data());
            ++m_audioFec;
            break;
          case JitterBuffer::Action::kConceal:
            good = remote.decoder.Conceal(decoded.data());
            ++m_audioConcealed;
            break;
        }
        if (good)
          MixInto(sum, decoded.data());
      }
    }
    ClipTo16(sum, out.data());
    Speaker* speaker = m_speakerFile ? static_cast<Speaker*>(m_speakerFile.get())
                                     : static_cast<Speaker*>(deviceSpeaker.get());
    if (speaker) {
      long long zero = 0;
      m_outputStartUs.compare_exchange_strong(zero, NowUs());
      speaker->Write(out.data());
    }
  }
  close();
}

void RtcEngine::RefuseAudio(uid_t uid, const std::string& why) {
  // Counted; the log names the 1st, 2nd, 4th, 8th ... so a flood cannot flood the log.
  unsigned refused = ++m_audioRefused;
  if ((refused & (refused - 1)) == 0)
    m_log.Write("refused audio packet of user " + std::to_string(uid) + ": " + why + " (" +
                std::to_string(refused) + " refused so far)");
}

void RtcEngine::OnRemoteAudio(const std::shared_ptr<Session>& session,
                              uid_t uid,
                              uint32_t sequence,
                              std::string packet) {
  proto::AudioCheck check = proto::CheckAudioPacket(packet.size());
  if (check != proto::AudioCheck::kOk)
    return RefuseAudio(uid,
                       std::to_string(packet.size()) + " bytes, " + proto::AudioCheckText(check));
  switch (CheckOpusPacket(packet)) {
    case PacketProblem::kNone:
      break;
    case PacketProblem::kMalformed:
      return RefuseAudio(uid, "not an Opus packet");
    case PacketProblem::kWrongDuration:
      return RefuseAudio(uid, "not one 20 ms frame");
  }
  if (!session->remoteUsers.count(uid))
    return;  // audio of users that are not (or no longer) in the channel
  ++m_audioReceived;
  std::lock_guard<std::mutex> guard(session->audioLock);
  std::unique_ptr<Session::RemoteAudio>& remote = session->remoteAudio[uid];
  if (!remote)
    remote.reset(new Session::RemoteAudio);
  unsigned late = remote->buffer.stats().late;
  remote->buffer.Put(sequence, std::move(packet));
  if (remote->buffer.stats().late != late)
    ++m_audioLate;
}

std::string RtcEngine::AudioStats() {
  return "{\"sent\":" + std::to_string(m_audioSent) +
         ",\"received\":" + std::to_string(m_audioReceived) +
         ",\"refused\":" + std::to_string(m_audioRefused) +
         ",\"late\":" + std::to_string(m_audioLate) +
         ",\"decoded\":" + std::to_string(m_audioDecoded) +
         ",\"fec\":" + std::to_string(m_audioFec) +
         ",\"concealed\":" + std::to_string(m_audioConcealed) + "}";
}

}  // namespace agora_standin
