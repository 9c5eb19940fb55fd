// Opens the client log in a temporary folder for the lifetime of a test and reads its lines back
// as (level, message) pairs. Only one may exist at a time (the log is process-wide).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace zarvik_test {

struct LogEntry {
  std::string level;    // "INFO" or "ERROR"
  std::string message;  // everything after "[LEVEL]:"
};

// The lines of a client log file, as LogCapture::Entries reads them.
std::vector<LogEntry> LogEntriesOf(const std::string& text);

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogEntry> Entries() const;
  std::vector<std::string> Messages() const;
  // True when an ERROR line written so far contains `text`.
  bool HasError(const std::string& text) const;
  // Drops what was written so far (the next Entries() start after it).
  void Clear();

 private:
  TempDir m_dir;
  std::wstring m_path;
  size_t m_skip = 0;
};

}  // namespace zarvik_test
