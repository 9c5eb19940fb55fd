// What a probe program saw, one line per event, kept in memory for its own waits and written to
// the file the end-to-end test reads. Lines may come from any thread. Header-only: the probe
// programs use it without the test-support library.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace zarvik_test {

class ProbeRecord {
 public:
  // Lines starting with "> " (the probe's echo of its commands) never count as seen, nor lines
  // starting with one of `ignoredPrefixes`.
  explicit ProbeRecord(std::initializer_list<const char*> ignoredPrefixes = {}) {
    m_ignored.push_back("> ");
    for (const char* prefix : ignoredPrefixes)
      m_ignored.push_back(prefix);
  }
  ~ProbeRecord() {
    if (m_file != INVALID_HANDLE_VALUE)
      CloseHandle(m_file);
  }
  ProbeRecord(const ProbeRecord&) = delete;
  ProbeRecord& operator=(const ProbeRecord&) = delete;

  // Starts the record file (replacing an old one); without it lines stay in memory only.
  void Open(const std::wstring& path) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_file != INVALID_HANDLE_VALUE)
      CloseHandle(m_file);
    m_file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  void Add(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_lines.push_back(line);
    if (m_file != INVALID_HANDLE_VALUE) {
      std::string text = line + "\n";
      DWORD written = 0;
      WriteFile(m_file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
  }

  // Lines holding `text`, not counting the ignored ones.
  int Count(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_lock);
    int count = 0;
    for (const std::string& line : m_lines) {
      if (!Ignored(line) && line.find(text) != std::string::npos)
        ++count;
    }
    return count;
  }
  bool Contains(const std::string& text) { return Count(text) > 0; }

 private:
  bool Ignored(const std::string& line) const {
    for (const std::string& prefix : m_ignored) {
      if (line.compare(0, prefix.size(), prefix) == 0)
        return true;
    }
    return false;
  }

  std::mutex m_lock;
  std::vector<std::string> m_ignored;
  std::vector<std::string> m_lines;
  HANDLE m_file = INVALID_HANDLE_VALUE;
};

}  // namespace zarvik_test
