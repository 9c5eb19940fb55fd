#include "diagnostics/log.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <exception>
#include <iostream>

#include "common/encoding.h"

std::recursive_mutex CLog::s_lock;
CLog* CLog::s_instance = nullptr;
bool CLog::s_holding = false;
std::vector<std::string> CLog::s_held;

namespace zarvik {

std::string FormatLogTimestamp(int year, int month, int day, int hour, int minute, int second) {
  char buffer[1024];
  std::snprintf(buffer, sizeof(buffer), "%d.%.2d.%.2d %.2d:%.2d:%.3d ", year, month, day, hour,
                minute, second);
  return buffer;
}

const char* LogLevelTag(int level) {
  return level == INFO ? "[INFO]:" : "[ERROR]:";
}

}  // namespace zarvik

CLog::CLog(const std::string& path, bool append) {
  try {
    std::wstring widePath = zarvik::AnsiToWide(path);
    size_t slash = widePath.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0) {
      std::wstring directory = widePath.substr(0, slash);
      DWORD attributes = GetFileAttributesW(directory.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES)
        SHCreateDirectoryExW(nullptr, directory.c_str(), nullptr);
    }
    // The C runtime opens files shared for reading and writing, so several client processes
    // may hold the log at once.
    std::ios::openmode mode = std::ios::out | (append ? std::ios::app : std::ios::trunc);
    m_stream.exceptions(std::ios::goodbit);
    m_stream.open(path.c_str(), mode);
  } catch (const std::exception& e) {
    std::cerr << "create log failed,path=" << path << "exception=" << e.what() << std::endl;
  }
}

CLog* CLog::Instance(const std::string& path, bool append) {
  std::lock_guard<std::recursive_mutex> guard(s_lock);
  if (!s_instance && !path.empty())
    s_instance = new CLog(path, append);
  return s_instance;
}

void CLog::Destroy() {
  std::lock_guard<std::recursive_mutex> guard(s_lock);
  if (!s_instance)
    return;
  s_instance->m_stream.close();
  delete s_instance;
  s_instance = nullptr;
}

void CLog::WriteLine(int level, const std::string& message) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::string line = zarvik::FormatLogTimestamp(now.wYear, now.wMonth, now.wDay, now.wHour,
                                                now.wMinute, now.wSecond);
  line += "[";
  line += std::to_string(GetCurrentProcessId());
  line += "]";
  line += zarvik::LogLevelTag(level);
  line += message;
  line += "\n";

  std::lock_guard<std::recursive_mutex> guard(s_lock);
  if (!s_instance && s_holding) {
    s_held.push_back(line);  // with the time it happened
    return;
  }
  if (!s_instance || !s_instance->m_stream.is_open())
    return;  // a file that did not open drops its lines silently
  s_instance->m_stream << line;
  s_instance->m_stream.flush();
}

void CLog::HoldLines() {
  std::lock_guard<std::recursive_mutex> guard(s_lock);
  s_holding = true;
}

void CLog::WriteHeldLines() {
  std::lock_guard<std::recursive_mutex> guard(s_lock);
  s_holding = false;
  if (s_instance && s_instance->m_stream.is_open() && !s_held.empty()) {
    for (const std::string& line : s_held)
      s_instance->m_stream << line;
    s_instance->m_stream.flush();
  }
  s_held.clear();
  s_held.shrink_to_fit();
}

bool CLog::Accepts() {
  std::lock_guard<std::recursive_mutex> guard(s_lock);
  return s_instance || s_holding;
}
