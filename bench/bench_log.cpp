// One log line through LogLine against a bare WriteFile of the same number of bytes, from 1 and
// from 4 threads at once. Each round writes kLines lines per thread into a fresh file; the figure
// is the round's wall time per line. Ours and the floor take turns so both see the same load.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench_clock.h"
#include "diagnostics/log.h"

namespace {

constexpr int kLines = 2000;
constexpr int kRounds = 9;
const char kMessage[] = "voice: member 1234567 joined channel 42 from 127.0.0.1:18381, 3 in channel";

using zarvik_bench::Now;
using zarvik_bench::Stats;
using zarvik_bench::Summarise;

template <typename Work>
double PerLine(int threads, Work work) {
  std::vector<std::thread> workers;
  const double start = Now();
  for (int t = 0; t < threads; ++t)
    workers.emplace_back(work);
  for (auto& w : workers)
    w.join();
  return (Now() - start) / (static_cast<double>(kLines) * threads);
}

long long FileSize(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
    return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main() {
  const char* oursPath = "bench_log_ours.log";
  const char* floorPath = "bench_log_floor.log";
  bool complete = true;
  for (int threads : {1, 4}) {
    std::vector<double> ours, floor;
    long long lineBytes = 0;
    for (int round = 0; round < kRounds; ++round) {
      DeleteFileA(oursPath);
      CLog::Instance(oursPath);
      ours.push_back(PerLine(threads, [] {
        for (int i = 0; i < kLines; ++i)
          LogLine(INFO, kMessage);
      }));
      CLog::Destroy();
      const long long written = FileSize(oursPath);
      if (written <= 0 || written % (static_cast<long long>(kLines) * threads) != 0) {
        std::printf("log file holds %lld bytes, not whole lines\n", written);
        complete = false;
      }
      lineBytes = written / (static_cast<long long>(kLines) * threads);

      // The floor: the same bytes per line, one WriteFile each, to a file opened for appending.
      const std::string line(static_cast<size_t>(lineBytes) - 1, 'x');
      const std::string bytes = line + "\n";
      HANDLE file = CreateFileA(floorPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        std::printf("cannot create %s (error %lu)\n", floorPath, GetLastError());
        return 1;
      }
      // Under Wine, appends from several threads without a lock lose bytes, so the floor takes
      // the one lock a whole line needs.
      CRITICAL_SECTION lock;
      InitializeCriticalSection(&lock);
      floor.push_back(PerLine(threads, [&] {
        DWORD done = 0;
        for (int i = 0; i < kLines; ++i) {
          EnterCriticalSection(&lock);
          WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
          LeaveCriticalSection(&lock);
        }
      }));
      DeleteCriticalSection(&lock);
      CloseHandle(file);
      if (FileSize(floorPath) != lineBytes * kLines * threads) {
        std::printf("floor file holds %lld bytes, expected %lld\n", FileSize(floorPath),
                    lineBytes * kLines * threads);
        complete = false;
      }
    }
    const Stats o = Summarise(ours), f = Summarise(floor);
    std::printf("%d thread(s), %lld-byte lines, %d rounds of %d lines per thread\n", threads,
                lineBytes, kRounds, kLines);
    std::printf("ROW\tlog line, %d thread%s: LogLine vs WriteFile of the same bytes\tus\t%.3f\t%.3f\t"
                "%.3f\t%.3f\t%.3f\t%.3f\t<=2\n",
                threads, threads == 1 ? "" : "s", o.median * 1e6, o.min * 1e6, o.max * 1e6,
                f.median * 1e6, f.min * 1e6, f.max * 1e6);
  }
  DeleteFileA(oursPath);
  DeleteFileA(floorPath);
  return complete ? 0 : 1;
}
