#include "audio_devices.h"

#include <string.h>

#include <algorithm>

#include "audio_codec.h"

namespace agora_standin {

namespace {

std::string WaveError(MMRESULT rc, bool input) {
  char text[MAXERRORLENGTH] = {};
  if (input)
    waveInGetErrorTextA(rc, text, sizeof(text));
  else
    waveOutGetErrorTextA(rc, text, sizeof(text));
  return "error " + std::to_string(rc) + (text[0] ? std::string(" (") + text + ")" : "");
}

WAVEFORMATEX Format(int channels) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(channels);
  format.nSamplesPerSec = kAudioRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<WORD>(channels * 2);
  format.nAvgBytesPerSec = kAudioRate * format.nBlockAlign;
  return format;
}

}  // namespace

void FileMicrophone::Read(std::vector<std::vector<int16_t>>& frames) {
  const size_t frameLength = static_cast<size_t>(kAudioFrameSamples) * m_channels;
  if (m_ended || m_samples.size() < static_cast<size_t>(m_channels)) {
    m_ended = true;
    return;
  }
  std::vector<int16_t> frame(frameLength, 0);
  size_t filled = 0;
  while (filled < frameLength) {
    if (m_position >= m_samples.size()) {
      if (!m_loop) {
        m_ended = true;
        break;
      }
      m_position = 0;
    }
    size_t n = std::min(frameLength - filled, m_samples.size() - m_position);
    memcpy(&frame[filled], &m_samples[m_position], n * sizeof(int16_t));
    filled += n;
    m_position += n;
  }
  if (filled > 0)
    frames.push_back(std::move(frame));  // the last one padded with silence
}

void FileSpeaker::Write(const int16_t* frame) {
  m_writer.Write(frame, static_cast<size_t>(kAudioFrameSamples) * kPlaybackChannels);
}

WaveInMicrophone::~WaveInMicrophone() {
  if (!m_device)
    return;
  waveInReset(m_device);
  for (auto& header : m_headers) {
    if (header.dwFlags & WHDR_PREPARED)
      waveInUnprepareHeader(m_device, &header, sizeof(header));
  }
  waveInClose(m_device);
}

bool WaveInMicrophone::Open(std::string& error) {
  WAVEFORMATEX format = Format(1);
  MMRESULT rc = waveInOpen(&m_device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
  if (rc != MMSYSERR_NOERROR) {
    m_device = nullptr;
    error = "cannot open the default recording device: " + WaveError(rc, true);
    return false;
  }
  for (int i = 0; i < kBuffers; ++i) {
    m_data[i].assign(kAudioFrameSamples, 0);
    m_headers[i].lpData = reinterpret_cast<LPSTR>(m_data[i].data());
    m_headers[i].dwBufferLength = kAudioFrameSamples * sizeof(int16_t);
    rc = waveInPrepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR));
    if (rc == MMSYSERR_NOERROR)
      rc = waveInAddBuffer(m_device, &m_headers[i], sizeof(WAVEHDR));
    if (rc != MMSYSERR_NOERROR)
      break;
  }
  if (rc == MMSYSERR_NOERROR)
    rc = waveInStart(m_device);
  if (rc != MMSYSERR_NOERROR) {
    error = "cannot start the default recording device: " + WaveError(rc, true);
    return false;
  }
  return true;
}

void WaveInMicrophone::Read(std::vector<std::vector<int16_t>>& frames) {
  for (int n = 0; n < kBuffers; ++n) {
    WAVEHDR& header = m_headers[m_nextDone];
    if (!(header.dwFlags & WHDR_DONE))
      return;
    size_t samples = header.dwBytesRecorded / sizeof(int16_t);
    std::vector<int16_t> frame(static_cast<size_t>(kAudioFrameSamples) * m_channels, 0);
    for (size_t i = 0; i < samples && i < static_cast<size_t>(kAudioFrameSamples); ++i) {
      for (int c = 0; c < m_channels; ++c)
        frame[i * m_channels + c] = m_data[m_nextDone][i];
    }
    frames.push_back(std::move(frame));
    header.dwFlags &= ~WHDR_DONE;
    header.dwBytesRecorded = 0;
    waveInAddBuffer(m_device, &header, sizeof(WAVEHDR));
    m_nextDone = (m_nextDone + 1) % kBuffers;
  }
}

WaveOutSpeaker::~WaveOutSpeaker() {
  if (!m_device)
    return;
  waveOutReset(m_device);
  for (auto& header : m_headers) {
    if (header.dwFlags & WHDR_PREPARED)
      waveOutUnprepareHeader(m_device, &header, sizeof(header));
  }
  waveOutClose(m_device);
}

bool WaveOutSpeaker::Open(std::string& error) {
  WAVEFORMATEX format = Format(kPlaybackChannels);
  MMRESULT rc = waveOutOpen(&m_device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
  if (rc != MMSYSERR_NOERROR) {
    m_device = nullptr;
    error = "cannot open the default playback device: " + WaveError(rc, false);
    return false;
  }
  for (int i = 0; i < kBuffers; ++i)
    m_data[i].assign(static_cast<size_t>(kAudioFrameSamples) * kPlaybackChannels, 0);
  return true;
}

void WaveOutSpeaker::Write(const int16_t* frame) {
  WAVEHDR& header = m_headers[m_next];
  if (header.dwFlags & WHDR_PREPARED) {
    if (!(header.dwFlags & WHDR_DONE)) {
      ++m_dropped;
      return;
    }
    waveOutUnprepareHeader(m_device, &header, sizeof(WAVEHDR));
  }
  memcpy(m_data[m_next].data(), frame, m_data[m_next].size() * sizeof(int16_t));
  header = {};
  header.lpData = reinterpret_cast<LPSTR>(m_data[m_next].data());
  header.dwBufferLength = static_cast<DWORD>(m_data[m_next].size() * sizeof(int16_t));
  if (waveOutPrepareHeader(m_device, &header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR)
    waveOutWrite(m_device, &header, sizeof(WAVEHDR));
  m_next = (m_next + 1) % kBuffers;
}

}  // namespace agora_standin
