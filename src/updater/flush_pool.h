// Flushes unpacked members to disk on a few threads of their own while the next members are
// written, then closes them. The installation hands over each written file's handle and waits for
// all of them (Finish) before it renames anything, so the durability order stays: every member
// is on disk before the first rename. The queue is bounded: at most `maxPending` handles are held
// at a time (Submit waits for room), so memory and the handle count stay small whatever the
// package holds.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/scoped_handle.h"

namespace zarvik {

class FlushPool {
 public:
  static constexpr size_t kDefaultThreads = 2;
  static constexpr size_t kDefaultMaxPending = 8;

  // `threads` and `maxPending` are at least 1.
  explicit FlushPool(size_t threads = kDefaultThreads, size_t maxPending = kDefaultMaxPending);
  // Waits for every handed-over file, as Finish does.
  ~FlushPool();
  FlushPool(const FlushPool&) = delete;
  FlushPool& operator=(const FlushPool&) = delete;

  // Hands over `file`, written in full at `path`: it is flushed, then closed. A file whose flush
  // fails is deleted, and the first such failure is kept for Finish. `label` names the file in
  // that report. Waits while `maxPending` files are held.
  void Submit(ScopedFileHandle file, const std::wstring& path, const std::wstring& label);
  // True once a flush has failed (the installation stops unpacking then).
  bool Failed();
  // Waits until every handed-over file is flushed and closed. 0 when all flushes succeeded, else
  // the failed flush's system error (ERROR_ACCESS_DENIED when the step hook refused it) with its
  // label in `failedLabel`.
  DWORD Finish(std::wstring* failedLabel = nullptr);

 private:
  struct Job {
    ScopedFileHandle file;
    std::wstring path;
    std::wstring label;
  };
  void Work();
  // Flushes and closes one file; a failure deletes it and is kept (the first one).
  void Flush(Job& job);

  std::mutex m_lock;
  std::condition_variable m_changed;  // a job was queued or finished, or the pool stops
  std::deque<Job> m_queue;
  size_t m_held = 0;  // queued or being flushed
  size_t m_maxPending;
  bool m_stop = false;
  DWORD m_error = 0;
  std::wstring m_failedLabel;
  std::vector<std::thread> m_threads;
};

}  // namespace zarvik
