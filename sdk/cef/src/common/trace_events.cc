#include "src/common/trace_events.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <vector>

namespace cefimpl {

namespace {

std::atomic<int> g_traceMode{-1};  // -1 not read yet, 0 off, 1 on
std::mutex g_traceLock;            // guards what follows
std::wstring g_tracePath;
HANDLE g_traceFile = INVALID_HANDLE_VALUE;
bool g_traceOpenTried = false;
std::set<std::string> g_firstsTaken;

int ReadTraceMode() {
  std::lock_guard<std::mutex> guard(g_traceLock);
  int mode = g_traceMode.load();
  if (mode >= 0)
    return mode;
  std::vector<wchar_t> value(MAX_PATH + 1);
  DWORD length =
      GetEnvironmentVariableW(L"ZARVIK_TRACE", value.data(), static_cast<DWORD>(value.size()));
  if (length >= value.size()) {
    value.resize(length + 1);
    length =
        GetEnvironmentVariableW(L"ZARVIK_TRACE", value.data(), static_cast<DWORD>(value.size()));
  }
  mode = length > 0 && length < value.size() ? 1 : 0;
  if (mode)
    g_tracePath.assign(value.data(), length);
  g_traceMode.store(mode);
  return mode;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      char escaped[8];
      snprintf(escaped, sizeof(escaped), "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

void WriteTraceLine(const std::string& line) {
  std::lock_guard<std::mutex> guard(g_traceLock);
  if (!g_traceOpenTried) {
    g_traceOpenTried = true;
    g_traceFile = CreateFileW(g_tracePath.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_traceFile != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS) {
      DWORD written = 0;
      WriteFile(g_traceFile, "[\n", 2, &written, nullptr);
    }
  }
  if (g_traceFile == INVALID_HANDLE_VALUE)
    return;  // the trace is an aid: without its file the engine runs on
  DWORD written = 0;
  WriteFile(g_traceFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string Ids() {
  return "\"pid\":" + std::to_string(GetCurrentProcessId()) +
         ",\"tid\":" + std::to_string(GetCurrentThreadId());
}

}  // namespace

bool TraceOn() {
  int mode = g_traceMode.load(std::memory_order_relaxed);
  if (mode < 0)
    mode = ReadTraceMode();
  return mode == 1;
}

int64_t TraceNow() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f;
    return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : 1;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const int64_t c = counter.QuadPart;
  return c / frequency * 1000000 + c % frequency * 1000000 / frequency;
}

void TraceComplete(const char* name, int64_t start, int64_t end, const std::string& detail) {
  if (!TraceOn() || !name)
    return;
  std::string line = "{\"name\":\"" + Escape(name) +
                     "\",\"cat\":\"engine\",\"ph\":\"X\",\"ts\":" + std::to_string(start) +
                     ",\"dur\":" + std::to_string(end > start ? end - start : 0) + "," + Ids();
  if (!detail.empty())
    line += ",\"args\":{\"detail\":\"" + Escape(detail) + "\"}";
  WriteTraceLine(line + "},\n");
}

void TraceThreadName(const char* name) {
  if (!TraceOn() || !name)
    return;
  WriteTraceLine("{\"name\":\"thread_name\",\"ph\":\"M\"," + Ids() + ",\"args\":{\"name\":\"" +
                 Escape(name) + "\"}},\n");
}

TraceFirstSpan::TraceFirstSpan(const char* name, bool when) : m_name(nullptr), m_start(0) {
  if (!when || !TraceOn() || !name)
    return;
  {
    std::lock_guard<std::mutex> guard(g_traceLock);
    if (!g_firstsTaken.insert(name).second)
      return;
  }
  m_name = name;
  m_start = TraceNow();
}

TraceFirstSpan::~TraceFirstSpan() {
  if (m_name)
    TraceComplete(m_name, m_start, TraceNow(), std::string());
}

}  // namespace cefimpl
