#include "diagnostics/trace_format.h"

#include <cstdio>

namespace zarvik {

std::string EscapeTraceText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (u < 0x20 || u == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatTraceEvent(const TraceEvent& e) {
  const std::string ids = "\"pid\":" + std::to_string(e.pid) + ",\"tid\":" + std::to_string(e.tid);
  std::string line;
  switch (e.kind) {
    case TraceEvent::kProcessName:
    case TraceEvent::kThreadName:
      line = std::string("{\"name\":\"") +
             (e.kind == TraceEvent::kProcessName ? "process_name" : "thread_name") +
             "\",\"ph\":\"M\"," + ids + ",\"args\":{\"name\":\"" + EscapeTraceText(e.name) + "\"}";
      break;
    case TraceEvent::kInstant:
      line = "{\"name\":\"" + EscapeTraceText(e.name) +
             "\",\"cat\":\"zarvik\",\"ph\":\"i\",\"s\":\"t\",\"ts\":" + std::to_string(e.ts) + "," +
             ids;
      break;
    case TraceEvent::kComplete:
      line = "{\"name\":\"" + EscapeTraceText(e.name) +
             "\",\"cat\":\"zarvik\",\"ph\":\"X\",\"ts\":" + std::to_string(e.ts) +
             ",\"dur\":" + std::to_string(e.dur < 0 ? 0 : e.dur) + "," + ids;
      break;
  }
  if (!e.detail.empty() && e.kind != TraceEvent::kProcessName && e.kind != TraceEvent::kThreadName)
    line += ",\"args\":{\"detail\":\"" + EscapeTraceText(e.detail) + "\"}";
  line += "},\n";
  return line;
}

}  // namespace zarvik
