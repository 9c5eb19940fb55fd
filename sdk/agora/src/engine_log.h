// The engine's own log. Lines written before a log file is set are kept (up to a limit) and
// written once the file is known, so the file tells the whole story of the engine.
#pragma once

#include <stdio.h>

#include <mutex>
#include <string>
#include <vector>

namespace agora_standin {

class EngineLog {
 public:
  ~EngineLog();
  // Opens (appending) the file at a UTF-8 path; false when it cannot be opened.
  bool SetFile(const std::string& utf8Path);
  void Write(const std::string& line);
  std::string path();

 private:
  std::mutex m_lock;
  FILE* m_file = nullptr;
  std::string m_path;
  std::vector<std::string> m_pending;
};

}  // namespace agora_standin
