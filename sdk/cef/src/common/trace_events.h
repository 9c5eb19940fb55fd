// The engine's own steps in the embedder's start-up trace: with the environment variable
// ZARVIK_TRACE naming a file, the browser and renderer sides append Chrome Trace Event Format
// lines to it (one JSON object and a comma per line, one write per line, the file opened for
// appending only; the process that creates the file writes the opening "["). Times are
// microseconds of the system-wide performance counter. Without the variable nothing is opened
// or written.
#pragma once

#include <stdint.h>

#include <string>

namespace cefimpl {

bool TraceOn();
int64_t TraceNow();
void TraceComplete(const char* name, int64_t start, int64_t end, const std::string& detail);
void TraceThreadName(const char* name);

// A step as long as the object lives.
class TraceSpan {
 public:
  explicit TraceSpan(const char* name, const std::string& detail = std::string())
      : m_name(TraceOn() ? name : nullptr), m_start(m_name ? TraceNow() : 0), m_detail(detail) {}
  ~TraceSpan() {
    if (m_name)
      TraceComplete(m_name, m_start, TraceNow(), m_detail);
  }
  TraceSpan(const TraceSpan&) = delete;
  TraceSpan& operator=(const TraceSpan&) = delete;

 private:
  const char* m_name;
  int64_t m_start;
  std::string m_detail;
};

// The first such step of this process only ("first layout", "first paint"), and only when
// `when` holds.
class TraceFirstSpan {
 public:
  explicit TraceFirstSpan(const char* name, bool when = true);
  ~TraceFirstSpan();
  TraceFirstSpan(const TraceFirstSpan&) = delete;
  TraceFirstSpan& operator=(const TraceFirstSpan&) = delete;

 private:
  const char* m_name;
  int64_t m_start;
};

}  // namespace cefimpl
