#include "support/log_capture.h"

#include <algorithm>

#include "common/encoding.h"
#include "diagnostics/log.h"

namespace zarvik_test {

LogCapture::LogCapture() : m_path(m_dir.File(L"zarvik.log")) {
  CLog::Destroy();
  CLog::Instance(zarvik::WideToAnsi(m_path), false);
}

LogCapture::~LogCapture() {
  CLog::Destroy();
}

std::vector<LogEntry> LogCapture::Entries() const {
  std::string text = ReadFileBytes(m_path);
  text.erase(0, std::min(m_skip, text.size()));
  return LogEntriesOf(text);
}

std::vector<LogEntry> LogEntriesOf(const std::string& text) {
  std::vector<LogEntry> entries;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 2;
    // "<date> <time> [pid][LEVEL]:message"
    size_t tag = line.find("][");
    size_t colon = line.find("]:", tag == std::string::npos ? 0 : tag);
    if (tag == std::string::npos || colon == std::string::npos) {
      if (!entries.empty())  // a message that itself held a line break
        entries.back().message += "\r\n" + line;
      continue;
    }
    entries.push_back({line.substr(tag + 2, colon - tag - 2), line.substr(colon + 2)});
  }
  return entries;
}

std::vector<std::string> LogCapture::Messages() const {
  std::vector<std::string> messages;
  for (const LogEntry& entry : Entries())
    messages.push_back(entry.message);
  return messages;
}

void LogCapture::Clear() {
  m_skip = ReadFileBytes(m_path).size();
}

bool LogCapture::HasError(const std::string& text) const {
  for (const LogEntry& entry : Entries()) {
    if (entry.level == "ERROR" && entry.message.find(text) != std::string::npos)
      return true;
  }
  return false;
}

}  // namespace zarvik_test
