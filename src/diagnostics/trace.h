// The start-up trace of every process of the client. With the environment variable ZARVIK_TRACE
// naming a file (child processes inherit it), each process appends its steps to that file as
// events of Chrome's Trace Event Format (trace_format.h), on the system-wide performance counter
// so that the processes line up; the file opens in Perfetto or chrome://tracing and
// tools/trace-path prints its critical path. Without the variable nothing is opened or written:
// a span then costs one load of a flag.
//
// Several processes share the file: it is opened for appending only, so the system puts every
// write at the end, and each event is one write of one whole line. The process that creates
// the file writes its opening "[" line; a file that already exists is appended to.
#pragma once

#include <cstdint>
#include <string>

namespace zarvik {
namespace trace {

constexpr wchar_t kTraceVariable[] = L"ZARVIK_TRACE";

// True when this process writes a trace (the variable is set and not empty).
bool On();
// Microseconds on the clock every process of the machine shares.
int64_t Now();

// A step from `start` to `end` (values of Now()).
void Complete(const char* name, int64_t start, int64_t end, const std::string& detail = {});
// A moment.
void Instant(const char* name, const std::string& detail = {});
// Names this process or the calling thread in the trace viewer.
void NameProcess(const char* name);
void NameThread(const char* name);
// The step from this process's creation until now: the loader, the DLLs and static set-up.
void SinceProcessStart(const char* name);

// A step that lasts as long as the object; nothing at all when the trace is off.
class Span {
 public:
  explicit Span(const char* name) : m_name(On() ? name : nullptr), m_start(m_name ? Now() : 0) {}
  ~Span() { End(); }
  Span(const Span&) = delete;
  Span& operator=(const Span&) = delete;
  // Ends the step before the object goes (later calls and the destructor do nothing).
  void End() {
    if (m_name)
      Complete(m_name, m_start, Now());
    m_name = nullptr;
  }

 private:
  const char* m_name;
  int64_t m_start;
};

// For tests: forget what was read and opened, so that the next call reads the variable again;
// files are opened through `opener` (null: the real one), which returns a file handle or
// INVALID_HANDLE_VALUE and sets whether it created the file.
using FileOpener = void* (*)(const wchar_t* path, bool* created);
void ResetForTesting(FileOpener opener);

}  // namespace trace
}  // namespace zarvik
