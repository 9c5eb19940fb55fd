#include "updater/flush_pool.h"

#include <exception>
#include <utility>

#include "updater/update_steps.h"

namespace zarvik {

FlushPool::FlushPool(size_t threads, size_t maxPending)
    : m_maxPending(maxPending ? maxPending : 1) {
  if (!threads)
    threads = 1;
  // Without any thread (the system refused one) each file is flushed inside Submit, as before.
  try {
    for (size_t i = 0; i < threads; ++i)
      m_threads.emplace_back(&FlushPool::Work, this);
  } catch (const std::exception&) {
  }
}

FlushPool::~FlushPool() {
  Finish();
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_stop = true;
  }
  m_changed.notify_all();
  for (std::thread& thread : m_threads)
    thread.join();
}

void FlushPool::Submit(ScopedFileHandle file, const std::wstring& path, const std::wstring& label) {
  if (m_threads.empty()) {
    Job job{std::move(file), path, label};
    Flush(job);
    return;
  }
  std::unique_lock<std::mutex> guard(m_lock);
  m_changed.wait(guard, [this] { return m_held < m_maxPending; });
  m_queue.push_back({std::move(file), path, label});
  ++m_held;
  guard.unlock();
  m_changed.notify_all();
}

bool FlushPool::Failed() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_error != 0;
}

DWORD FlushPool::Finish(std::wstring* failedLabel) {
  std::unique_lock<std::mutex> guard(m_lock);
  m_changed.wait(guard, [this] { return m_held == 0; });
  if (failedLabel)
    *failedLabel = m_failedLabel;
  return m_error;
}

// Thread procedure: nothing in it throws (Win32 calls and moves of what the queue holds).
void FlushPool::Work() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> guard(m_lock);
      m_changed.wait(guard, [this] { return m_stop || !m_queue.empty(); });
      if (m_queue.empty())
        return;  // stopping, and nothing left
      job = std::move(m_queue.front());
      m_queue.pop_front();
    }
    Flush(job);
    {
      std::lock_guard<std::mutex> guard(m_lock);
      --m_held;
    }
    m_changed.notify_all();
  }
}

void FlushPool::Flush(Job& job) {
  DWORD error = 0;
  if (!UpdateStep("flush member", job.path) || !FlushFileBuffers(job.file.Get())) {
    error = GetLastError();
    if (!error)
      error = ERROR_WRITE_FAULT;
  }
  job.file.Reset();
  if (!error)
    return;
  // A file that may not be on disk is never installed.
  SetFileAttributesW(job.path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(job.path.c_str());
  std::lock_guard<std::mutex> guard(m_lock);
  if (!m_error) {
    m_error = error;
    m_failedLabel = job.label;
  }
}

}  // namespace zarvik
