#include "audio_wav.h"

#include <windows.h>

#include <string.h>

namespace agora_standin {

namespace {

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

void Put32(std::string& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void Put16(std::string& b, uint16_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>(v >> 8));
}

}  // namespace

bool ParseWav(const std::string& bytes, WavData& wav, std::string& error) {
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
    error = "not a RIFF WAVE file";
    return false;
  }
  bool haveFormat = false;
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    uint32_t size = Le32(bytes, at + 4);
    size_t body = at + 8;
    size_t available = bytes.size() - body;
    if (bytes.compare(at, 4, "fmt ") == 0) {
      if (size < 16 || available < 16) {
        error = "format chunk too short";
        return false;
      }
      uint16_t format = Le16(bytes, body);
      uint16_t channels = Le16(bytes, body + 2);
      uint32_t rate = Le32(bytes, body + 4);
      uint16_t bits = Le16(bytes, body + 14);
      // 0xFFFE (extensible) is accepted when it holds 16-bit samples like plain PCM.
      if ((format != 1 && format != 0xFFFE) || bits != 16) {
        error = "not 16-bit PCM (format " + std::to_string(format) + ", " + std::to_string(bits) +
                " bits)";
        return false;
      }
      if (channels < 1 || channels > 2 || rate < 8000 || rate > 192000) {
        error = std::to_string(channels) + " channels at " + std::to_string(rate) +
                " Hz (1 or 2 channels, 8 to 192 kHz)";
        return false;
      }
      wav.channels = channels;
      wav.rate = static_cast<int>(rate);
      haveFormat = true;
    } else if (bytes.compare(at, 4, "data") == 0) {
      if (!haveFormat) {
        error = "data before the format chunk";
        return false;
      }
      size_t n = size < available ? size : available;
      n -= n % (2u * static_cast<size_t>(wav.channels));
      wav.samples.resize(n / 2);
      if (n)
        memcpy(wav.samples.data(), bytes.data() + body, n);  // little-endian, like the file
      return true;
    }
    if (size > available)
      break;
    at = body + size + (size & 1);
  }
  error = haveFormat ? "no data chunk" : "no format chunk";
  return false;
}

std::vector<int16_t> ConvertTo48k(const WavData& wav, int channels) {
  std::vector<int16_t> out;
  if (wav.channels < 1 || wav.rate <= 0 || wav.samples.empty())
    return out;
  const size_t frames = wav.samples.size() / static_cast<size_t>(wav.channels);
  // One value per output channel at source frame i.
  auto at = [&](size_t i, int c) -> double {
    if (i >= frames)
      i = frames - 1;
    const int16_t* s = &wav.samples[i * static_cast<size_t>(wav.channels)];
    if (wav.channels == channels)
      return s[c];
    if (wav.channels == 2)
      return (static_cast<double>(s[0]) + s[1]) / 2;
    return s[0];
  };
  const uint64_t outFrames =
      static_cast<uint64_t>(frames) * 48000u / static_cast<uint64_t>(wav.rate);
  out.reserve(static_cast<size_t>(outFrames) * static_cast<size_t>(channels));
  for (uint64_t j = 0; j < outFrames; ++j) {
    // Position in the source, as a whole frame and a fraction, without drift over long files.
    uint64_t scaled = j * static_cast<uint64_t>(wav.rate);
    size_t i = static_cast<size_t>(scaled / 48000u);
    double frac = static_cast<double>(scaled % 48000u) / 48000.0;
    for (int c = 0; c < channels; ++c) {
      double v = at(i, c) * (1 - frac) + at(i + 1, c) * frac;
      out.push_back(static_cast<int16_t>(v < 0 ? v - 0.5 : v + 0.5));
    }
  }
  return out;
}

std::string WavHeader(int rate, int channels, uint32_t dataBytes) {
  std::string h = "RIFF";
  Put32(h, dataBytes + 36);
  h += "WAVEfmt ";
  Put32(h, 16);
  Put16(h, 1);
  Put16(h, static_cast<uint16_t>(channels));
  Put32(h, static_cast<uint32_t>(rate));
  Put32(h, static_cast<uint32_t>(rate * channels * 2));
  Put16(h, static_cast<uint16_t>(channels * 2));
  Put16(h, 16);
  h += "data";
  Put32(h, dataBytes);
  return h;
}

bool WavWriter::Open(const std::wstring& path, int rate, int channels) {
  Close();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  m_file = file;
  m_rate = rate;
  m_channels = channels;
  m_dataBytes = 0;
  m_sinceHeader = 0;
  UpdateHeader();
  return true;
}

bool WavWriter::Write(const int16_t* samples, size_t count) {
  if (!m_file)
    return false;
  const uint64_t bytes = static_cast<uint64_t>(count) * 2;
  if (m_dataBytes + bytes + 36 > 0xFFFFFFFFull)
    return false;
  DWORD written = 0;
  if (!WriteFile(m_file, samples, static_cast<DWORD>(bytes), &written, nullptr) || written != bytes)
    return false;
  m_dataBytes += static_cast<uint32_t>(bytes);
  m_sinceHeader += static_cast<uint32_t>(bytes);
  if (m_sinceHeader >= static_cast<uint32_t>(m_rate * m_channels * 2)) {
    UpdateHeader();
    m_sinceHeader = 0;
  }
  return true;
}

// Rewrites the header at the start and goes back to where the samples end.
void WavWriter::UpdateHeader() {
  std::string header = WavHeader(m_rate, m_channels, m_dataBytes);
  DWORD written = 0;
  LARGE_INTEGER at = {};
  SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN);
  WriteFile(m_file, header.data(), static_cast<DWORD>(header.size()), &written, nullptr);
  at.QuadPart = static_cast<LONGLONG>(header.size()) + m_dataBytes;
  SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN);
}

void WavWriter::Close() {
  if (!m_file)
    return;
  UpdateHeader();
  CloseHandle(m_file);
  m_file = nullptr;
}

std::wstring DevicePath(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring path(n > 0 ? static_cast<size_t>(n - 1) : 0, L'\0');
  if (n > 1)
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &path[0], n);
  for (auto& c : path) {
    if (c == L'/')
      c = L'\\';
  }
  bool absolute = (path.size() >= 2 && path[1] == L':') || (!path.empty() && path[0] == L'\\');
  if (absolute || path.empty())
    return path;
  wchar_t module[MAX_PATH];
  DWORD len = GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (len == 0 || len >= MAX_PATH)
    return path;
  std::wstring folder(module, len);
  size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : folder.substr(0, slash + 1) + path;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes, size_t maxBytes) {
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f)
    return false;
  bytes.clear();
  char buffer[64 * 1024];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) {
    if (bytes.size() + n > maxBytes) {
      fclose(f);
      return false;
    }
    bytes.append(buffer, n);
  }
  fclose(f);
  return true;
}

}  // namespace agora_standin
