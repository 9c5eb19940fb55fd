#include "diagnostics/trace.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "common/encoding.h"
#include "diagnostics/log.h"
#include "diagnostics/trace_format.h"

namespace zarvik {
namespace trace {

namespace {

// Appending only: the system puts each write at the end of the file, whoever else appends.
void* OpenTraceFile(const wchar_t* path, bool* created) {
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  *created = file != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS;
  return file;
}

enum Mode : int { kUnknown = -1, kOff = 0, kOn = 1 };
std::atomic<int> g_mode{kUnknown};

std::mutex g_lock;  // guards everything below
FileOpener g_opener = &OpenTraceFile;
HANDLE g_file = INVALID_HANDLE_VALUE;
bool g_openTried = false;
std::wstring g_path;

int ReadMode() {
  std::lock_guard<std::mutex> guard(g_lock);
  int mode = g_mode.load();
  if (mode != kUnknown)
    return mode;
  std::vector<wchar_t> value(MAX_PATH + 1);
  DWORD length =
      GetEnvironmentVariableW(kTraceVariable, value.data(), static_cast<DWORD>(value.size()));
  if (length >= value.size()) {
    value.resize(length + 1);
    length =
        GetEnvironmentVariableW(kTraceVariable, value.data(), static_cast<DWORD>(value.size()));
  }
  if (length > 0 && length < value.size()) {
    g_path.assign(value.data(), length);
    mode = kOn;
  } else {
    mode = kOff;
  }
  g_mode.store(mode);
  return mode;
}

// Writes one whole line with one write; opens the file on the first line.
void WriteLine(const std::string& line) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (!g_openTried) {
    g_openTried = true;
    bool created = false;
    g_file = static_cast<HANDLE>(g_opener(g_path.c_str(), &created));
    if (g_file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      // The trace is an aid: the client runs on without it.
      LogLine(ERROR, "trace: cannot open ", WideToAnsi(g_path), ", error ", error,
              "; no trace is written.");
    } else if (created) {
      DWORD written = 0;
      WriteFile(g_file, kTraceFileHead, sizeof(kTraceFileHead) - 1, &written, nullptr);
    }
  }
  if (g_file == INVALID_HANDLE_VALUE)
    return;
  DWORD written = 0;
  // A failed write loses that event only; nothing else depends on it.
  WriteFile(g_file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void Write(TraceEvent event) {
  event.pid = GetCurrentProcessId();
  event.tid = GetCurrentThreadId();
  WriteLine(FormatTraceEvent(event));
}

}  // namespace

bool On() {
  int mode = g_mode.load(std::memory_order_relaxed);
  if (mode == kUnknown)
    mode = ReadMode();
  return mode == kOn;
}

int64_t Now() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f;
    return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : 1;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const int64_t c = counter.QuadPart;
  return c / frequency * 1000000 + c % frequency * 1000000 / frequency;
}

void Complete(const char* name, int64_t start, int64_t end, const std::string& detail) {
  if (!On() || !name)
    return;
  TraceEvent event;
  event.kind = TraceEvent::kComplete;
  event.name = name;
  event.ts = start;
  event.dur = end - start;
  event.detail = detail;
  Write(std::move(event));
}

void Instant(const char* name, const std::string& detail) {
  if (!On() || !name)
    return;
  TraceEvent event;
  event.kind = TraceEvent::kInstant;
  event.name = name;
  event.ts = Now();
  event.detail = detail;
  Write(std::move(event));
}

void NameProcess(const char* name) {
  if (!On() || !name)
    return;
  TraceEvent event;
  event.kind = TraceEvent::kProcessName;
  event.name = name;
  Write(std::move(event));
}

void NameThread(const char* name) {
  if (!On() || !name)
    return;
  TraceEvent event;
  event.kind = TraceEvent::kThreadName;
  event.name = name;
  Write(std::move(event));
}

void SinceProcessStart(const char* name) {
  if (!On())
    return;
  const int64_t now = Now();
  FILETIME creation, exit, kernel, user, current;
  if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user))
    return;
  GetSystemTimeAsFileTime(&current);
  auto ticks = [](const FILETIME& t) {
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  // Both system times count 100 ns; a clock step between them would make a nonsense length.
  const int64_t elapsed = (ticks(current) - ticks(creation)) / 10;
  if (elapsed < 0 || elapsed > 3600LL * 1000000)
    return;
  Complete(name, now - elapsed, now);
}

void ResetForTesting(FileOpener opener) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (g_file != INVALID_HANDLE_VALUE)
    CloseHandle(g_file);
  g_file = INVALID_HANDLE_VALUE;
  g_openTried = false;
  g_path.clear();
  g_opener = opener ? opener : &OpenTraceFile;
  g_mode.store(kUnknown);
}

}  // namespace trace
}  // namespace zarvik
