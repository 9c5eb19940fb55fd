// Runs small jobs away from the UI thread, one after another, in the order they were posted.
// The main window owns one queue with a single worker for the game's blocking web calls.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TaskQueue {
 public:
  using Task = std::function<void()>;

  explicit TaskQueue(int workerCount);
  ~TaskQueue();
  TaskQueue(const TaskQueue&) = delete;
  TaskQueue& operator=(const TaskQueue&) = delete;

  // Starts the workers, pausing 500 ms after each one.
  void Start();
  // Queues the task; dropped when the queue is not running.
  void Post(Task task);
  // Stops and joins the workers; a running task finishes first, queued ones never run. Called
  // from one of the queue's own workers it stops the others, lets the calling worker go (it ends
  // when its task returns, without touching the queue), logs an ERROR line and returns false.
  bool Stop();

 private:
  void WorkerLoop();

  std::atomic<bool> m_running{false};
  std::mutex m_lock;
  std::condition_variable m_wakeUp;
  int m_workerCount;
  std::vector<std::thread> m_workers;
  std::deque<Task> m_tasks;
};
