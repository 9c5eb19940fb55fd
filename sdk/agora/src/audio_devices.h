// The engine's microphone and speaker: the default wave-in and wave-out devices (WAVE_MAPPER),
// or WAV files standing in for them (tests and demos). All of it runs on a session's audio
// thread.
#pragma once

#include <windows.h>
// after windows.h
#include <mmsystem.h>

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "audio_wav.h"

namespace agora_standin {

class Microphone {
 public:
  virtual ~Microphone() = default;
  // Appends the 20 ms frames (48 kHz, `channels` interleaved) captured since the last call:
  // one per call for a file, what the device has finished for a device.
  virtual void Read(std::vector<std::vector<int16_t>>& frames) = 0;
  // A file that has ended (and does not loop).
  virtual bool ended() const { return false; }
};

class Speaker {
 public:
  virtual ~Speaker() = default;
  // Plays one 20 ms stereo frame at 48 kHz.
  virtual void Write(const int16_t* frame) = 0;
};

// A WAV file as the microphone: converted to 48 kHz once, then one frame each call, from the
// start again at its end when it loops (else nothing more).
class FileMicrophone : public Microphone {
 public:
  FileMicrophone(std::vector<int16_t> samples, int channels, bool loop)
      : m_samples(std::move(samples)), m_channels(channels), m_loop(loop) {}
  void Read(std::vector<std::vector<int16_t>>& frames) override;
  bool ended() const override { return m_ended; }

 private:
  std::vector<int16_t> m_samples;
  int m_channels;
  bool m_loop;
  size_t m_position = 0;
  bool m_ended = false;
};

class FileSpeaker : public Speaker {
 public:
  bool Open(const std::wstring& path) { return m_writer.Open(path, 48000, 2); }
  void Write(const int16_t* frame) override;

 private:
  WavWriter m_writer;
};

// The default recording device: 16-bit mono at 48 kHz in 20 ms buffers.
class WaveInMicrophone : public Microphone {
 public:
  explicit WaveInMicrophone(int channels) : m_channels(channels) {}
  ~WaveInMicrophone() override;
  bool Open(std::string& error);
  void Read(std::vector<std::vector<int16_t>>& frames) override;

 private:
  static constexpr int kBuffers = 8;
  int m_channels;
  HWAVEIN m_device = nullptr;
  WAVEHDR m_headers[kBuffers] = {};
  std::vector<int16_t> m_data[kBuffers];
  int m_nextDone = 0;
};

// The default playback device: 16-bit stereo at 48 kHz; a frame that finds every buffer still
// playing is dropped (the device is behind).
class WaveOutSpeaker : public Speaker {
 public:
  ~WaveOutSpeaker() override;
  bool Open(std::string& error);
  void Write(const int16_t* frame) override;
  unsigned dropped() const { return m_dropped; }

 private:
  static constexpr int kBuffers = 8;
  HWAVEOUT m_device = nullptr;
  WAVEHDR m_headers[kBuffers] = {};
  std::vector<int16_t> m_data[kBuffers];
  int m_next = 0;
  unsigned m_dropped = 0;
};

}  // namespace agora_standin
