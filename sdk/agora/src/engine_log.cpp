#include "engine_log.h"

#include <windows.h>

namespace agora_standin {
namespace {

std::wstring Widen(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  if (n <= 0)
    return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

}  // namespace

EngineLog::~EngineLog() {
  if (m_file)
    fclose(m_file);
}

bool EngineLog::SetFile(const std::string& utf8Path) {
  FILE* file = _wfopen(Widen(utf8Path).c_str(), L"ab");
  std::lock_guard<std::mutex> guard(m_lock);
  if (!file)
    return false;
  if (m_file)
    fclose(m_file);
  m_file = file;
  m_path = utf8Path;
  for (auto& line : m_pending)
    fputs(line.c_str(), m_file);
  m_pending.clear();
  fflush(m_file);
  return true;
}

std::string EngineLog::path() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_path;
}

void EngineLog::Write(const std::string& message) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[64];
  snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u.%03u [%5lu] ", now.wYear,
           now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
           GetCurrentThreadId());
  std::string line = stamp + message + "\r\n";
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_file) {
    fputs(line.c_str(), m_file);
    fflush(m_file);
  } else if (m_pending.size() < 1000) {
    m_pending.push_back(line);
  }
}

}  // namespace agora_standin
