// WAV files as the engine's stand-in microphone and speaker: 16-bit PCM read into memory and
// converted to the engine's 48 kHz, and a writer that keeps its header valid while it grows.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace agora_standin {

struct WavData {
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> samples;  // interleaved
};

// Parses a RIFF WAVE file of 16-bit PCM (1 or 2 channels, 8 to 192 kHz); false with a reason.
// A data chunk longer than the file is cut to what is there.
bool ParseWav(const std::string& bytes, WavData& wav, std::string& error);

// The samples at 48 kHz with the given channel count (1 or 2): linear interpolation between
// the source's samples, stereo folded to mono by averaging, mono copied to both sides.
std::vector<int16_t> ConvertTo48k(const WavData& wav, int channels);

// The 44-byte header of a 16-bit PCM file with dataBytes of samples.
std::string WavHeader(int rate, int channels, uint32_t dataBytes);

// Writes 16-bit PCM; the header is brought up to date every second of audio and at Close, so a
// process that is ended leaves a file that reads up to its last second. Stops at 4 GiB. It writes
// through the system's file calls, not the C runtime's streams: a process that ends while the
// audio thread is inside a write must not leave a stream lock held for the runtime's flush of
// all streams at exit (that hangs the exit).
class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter() { Close(); }
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool Open(const std::wstring& path, int rate, int channels);
  bool Write(const int16_t* samples, size_t count);  // interleaved samples
  void Close();
  bool is_open() const { return m_file != nullptr; }

 private:
  void UpdateHeader();
  void* m_file = nullptr;  // the file's HANDLE
  int m_rate = 0;
  int m_channels = 0;
  uint32_t m_dataBytes = 0;
  uint32_t m_sinceHeader = 0;
};

// A UTF-8 path as Windows wants it; relative paths are taken from the folder of the program.
std::wstring DevicePath(const std::string& utf8);

// Reads a whole file; false when it cannot be opened or is larger than maxBytes.
bool ReadWholeFile(const std::wstring& path, std::string& bytes, size_t maxBytes);

}  // namespace agora_standin
