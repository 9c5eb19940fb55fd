// What the engine's audio profiles mean for the codec, the Opus encoder and decoders around
// libopus, and the mixing of several remote users into one playback frame.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct OpusEncoder;
struct OpusDecoder;

namespace agora_standin {

// The engine captures, codes and plays 48 kHz in 20 ms frames; playback is always stereo.
constexpr int kAudioRate = 48000;
constexpr int kAudioFrameMs = 20;
constexpr int kAudioFrameSamples = kAudioRate * kAudioFrameMs / 1000;  // per channel
constexpr int kPlaybackChannels = 2;

struct AudioProfileValues {
  int sampleRate = 48000;  // what the profile asks for (32 kHz for the speech profiles)
  int channels = 1;
  int bitrate = 64000;  // bits per second, the most the encoder may use
  bool music = true;    // music coding (Opus "audio"), else speech coding (Opus "voip")
};

// The values of setAudioProfile(profile, scenario) in a channel of this channel profile
// (0 communication, 1 live broadcasting, 2 game).
AudioProfileValues ProfileValues(int audioProfile, int scenario, int channelProfile);
std::string ProfileText(const AudioProfileValues& values);

// Why a received packet is not decoded.
enum class PacketProblem {
  kNone,
  kMalformed,      // libopus cannot parse it
  kWrongDuration,  // not one 20 ms frame
};
PacketProblem CheckOpusPacket(const std::string& packet);

class AudioEncoder {
 public:
  AudioEncoder() = default;
  ~AudioEncoder();
  AudioEncoder(const AudioEncoder&) = delete;
  AudioEncoder& operator=(const AudioEncoder&) = delete;

  // (Re)creates the encoder for these values; false with libopus's reason.
  bool Configure(const AudioProfileValues& values, std::string& error);
  const AudioProfileValues& values() const { return m_values; }
  // One 20 ms frame of values().channels interleaved samples; false on a codec error.
  bool Encode(const int16_t* pcm, std::string& packet);

 private:
  OpusEncoder* m_encoder = nullptr;
  AudioProfileValues m_values;
};

class AudioDecoder {
 public:
  AudioDecoder();
  ~AudioDecoder();
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;

  bool ok() const { return m_decoder != nullptr; }
  // Each fills one 20 ms stereo frame (kAudioFrameSamples * 2 samples); false on a codec error,
  // with the frame left as silence.
  bool Decode(const std::string& packet, int16_t* pcm);
  bool DecodeFec(const std::string& nextPacket, int16_t* pcm);
  bool Conceal(int16_t* pcm);

 private:
  OpusDecoder* m_decoder = nullptr;
};

// Adds a frame into a 32-bit sum, and turns the sum into 16-bit samples, clipping what does not
// fit (several loud speakers must not wrap around into noise).
void MixInto(std::vector<int32_t>& sum, const int16_t* pcm);
void ClipTo16(const std::vector<int32_t>& sum, int16_t* out);

}  // namespace agora_standin
