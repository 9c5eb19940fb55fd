// The lines of a start-up trace: Chrome's Trace Event Format, one JSON object per line with a
// trailing comma after the opening "[" line (the closing "]" is optional in that format, so any
// number of processes can append to one file). Pure text, no system calls: tested alone.
#pragma once

#include <cstdint>
#include <string>

namespace zarvik {

struct TraceEvent {
  enum Kind { kComplete, kInstant, kProcessName, kThreadName };
  Kind kind = kComplete;
  std::string name;  // the step, or for the two name kinds the process's or thread's name
  int64_t ts = 0;    // microseconds on the system-wide clock
  int64_t dur = 0;   // complete events only
  uint32_t pid = 0;
  uint32_t tid = 0;
  std::string detail;  // optional: shown as the event's "detail" argument
};

// The opening line a new trace file starts with.
constexpr char kTraceFileHead[] = "[\n";

// One event as one line: a JSON object, a comma and "\n". Texts are escaped as JSON strings
// (quotes, backslashes and control characters); bytes of 0x80 and above pass as they are.
std::string FormatTraceEvent(const TraceEvent& event);

// `text` as the inside of a JSON string.
std::string EscapeTraceText(const std::string& text);

}  // namespace zarvik
