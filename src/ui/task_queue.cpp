#include "ui/task_queue.h"

#include <chrono>
#include <exception>
#include <iostream>
#include <sstream>

#include "diagnostics/log.h"

TaskQueue::TaskQueue(int workerCount) : m_workerCount(workerCount) {}

TaskQueue::~TaskQueue() {
  if (m_running)
    Stop();
}

void TaskQueue::Start() {
  m_running.exchange(true);
  for (int i = 0; i < m_workerCount; ++i) {
    m_workers.emplace_back(&TaskQueue::WorkerLoop, this);
    // sleep_for sleeps again when it wakes early, on the steady clock.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
}

void TaskQueue::Post(Task task) {
  if (!m_running)
    return;
  std::lock_guard<std::mutex> guard(m_lock);
  m_tasks.push_back(std::move(task));
  m_wakeUp.notify_one();
}

namespace {
// Set on a worker that stopped its own queue: that worker was detached and the queue may be gone
// once its task returns, so it leaves without touching the queue again.
thread_local bool t_releasedFromQueue = false;
}  // namespace

bool TaskQueue::Stop() {
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_running = false;
    m_wakeUp.notify_all();
  }
  // A worker cannot join itself. Throwing here would end the process when the stop comes from a
  // destructor (the main window's does this), so the calling worker is let go instead.
  bool fromOwnWorker = false;
  for (std::thread& worker : m_workers) {
    if (!worker.joinable())
      continue;
    if (worker.get_id() == std::this_thread::get_id()) {
      fromOwnWorker = true;
      worker.detach();
      t_releasedFromQueue = true;
      continue;
    }
    worker.join();
  }
  m_workers.clear();
  if (fromOwnWorker) {
    LogLine(ERROR, "task queue: stopped from one of its own workers; that worker ends after its task.");
    return false;
  }
  return true;
}

void TaskQueue::WorkerLoop() {
  std::ostringstream begin;
  begin << "begin work thread: " << std::this_thread::get_id() << "\n";
  std::cout << begin.str() << std::flush;
  while (m_running) {
    Task task;
    {
      std::unique_lock<std::mutex> lock(m_lock);
      if (!m_tasks.empty()) {
        task = std::move(m_tasks.front());
        m_tasks.pop_front();
      } else if (m_running) {
        m_wakeUp.wait(lock);
      }
    }
    if (!task)
      continue;
    // A throwing task must not take the whole client down with it: log it and go on.
    try {
      task();
    } catch (const std::exception& e) {
      LogLine(ERROR, "task queue: task failed: ", e.what());
    } catch (...) {
      LogLine(ERROR, "task queue: task failed.");
    }
    if (t_releasedFromQueue)
      break;
  }
  std::ostringstream end;
  end << "end work thread: " << std::this_thread::get_id() << "\n";
  std::cout << end.str() << std::flush;
}
