// The client's text log "zarvik.log": one process-wide CLog, lines written through LogLine.
//
// Line layout: "<y>.<mm>.<dd> <hh>:<mi>:<sss> [<pid>][INFO]:<pieces>\n", seconds three digits wide.
// Each line is formatted first and written with one locked write and flush, so lines from
// different threads or processes never interleave.
#pragma once

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

// The two levels are written INFO and ERROR at every call. <wingdi.h> already defines ERROR as
// 0, so the error level takes that value and the same definition is repeated for files that do
// not include <windows.h>.
#ifndef ERROR
#define ERROR 0
#endif
enum LogLevel : int { LOG_LEVEL_ERROR = ERROR, INFO = 1 };

class CLog {
 public:
  // With a non-empty path and no instance yet, creates the instance; otherwise returns the
  // existing one (or none). Every writer calls it with no path; only start-up passes one.
  static CLog* Instance(const std::string& path = std::string(), bool append = false);
  // Closes the file and clears the instance; later LogLine calls write nothing.
  static void Destroy();

  // Writes one complete line if an instance exists.
  static void WriteLine(int level, const std::string& message);

  bool IsOpen() const { return m_stream.is_open(); }

  // Start-up's first step runs before the log file can be opened. From HoldLines() on, lines
  // written while no instance exists are kept in order; WriteHeldLines() writes them to the log
  // (dropped if there is none) and ends the holding.
  static void HoldLines();
  static void WriteHeldLines();
  // True when a line written now goes somewhere: to the log, or held for it.
  static bool Accepts();

 private:
  CLog(const std::string& path, bool append);

  std::ofstream m_stream;
  static std::recursive_mutex s_lock;  // guards the instance pointer, the held lines and writes
  static CLog* s_instance;
  static bool s_holding;
  static std::vector<std::string> s_held;
};

namespace zarvik {
// "%d.%.2d.%.2d %.2d:%.2d:%.3d " of the given local time.
std::string FormatLogTimestamp(int year, int month, int day, int hour, int minute, int second);
const char* LogLevelTag(int level);

inline void AppendPieces(std::ostringstream&) {}
template <typename First, typename... Rest>
void AppendPieces(std::ostringstream& out, const First& first, const Rest&... rest) {
  out << first;
  AppendPieces(out, rest...);
}
}  // namespace zarvik

// Writes one line made of the pieces, in order, with nothing between them. Texts go byte for
// byte, integers in decimal.
template <typename... Pieces>
void LogLine(int level, const Pieces&... pieces) {
  if (!CLog::Accepts())
    return;
  std::ostringstream message;
  zarvik::AppendPieces(message, pieces...);
  CLog::WriteLine(level, message.str());
}
