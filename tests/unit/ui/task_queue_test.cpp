#include "ui/task_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/log_capture.h"

namespace {

struct Recorder {
  std::mutex lock;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  void Add(int n) {
    std::lock_guard<std::mutex> guard(lock);
    order.push_back(n);
    threads.push_back(std::this_thread::get_id());
  }
};

TEST(TaskQueueTest, RunsInPostingOrderOnOneWorkerAndNestedPostsGoLast) {
  TaskQueue queue(1);
  queue.Start();
  Recorder recorder;
  std::promise<void> done;
  queue.Post([&] {
    recorder.Add(1);
    queue.Post([&] {
      recorder.Add(4);
      done.set_value();
    });
  });
  queue.Post([&] { recorder.Add(2); });
  queue.Post([&] { recorder.Add(3); });
  done.get_future().wait();
  queue.Stop();
  EXPECT_EQ(recorder.order, (std::vector<int>{1, 2, 3, 4}));
  for (auto id : recorder.threads) {
    EXPECT_EQ(id, recorder.threads[0]);
    EXPECT_NE(id, std::this_thread::get_id());
  }
}

TEST(TaskQueueTest, PostsBeforeStartAndAfterStopAreDropped) {
  TaskQueue queue(1);
  bool ran = false;
  queue.Post([&] { ran = true; });  // not running yet
  queue.Start();
  queue.Stop();
  queue.Post([&] { ran = true; });
  EXPECT_FALSE(ran);
}

TEST(TaskQueueTest, StopWaitsForRunningTaskAndDropsQueuedOnes) {
  TaskQueue queue(1);
  queue.Start();
  std::promise<void> started;
  bool firstFinished = false, secondRan = false;
  queue.Post([&] {
    started.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    firstFinished = true;
  });
  queue.Post([&] { secondRan = true; });
  started.get_future().wait();
  queue.Stop();
  EXPECT_TRUE(firstFinished) << "Stop must wait for the running task";
  EXPECT_FALSE(secondRan) << "queued tasks are not run after Stop";
}

TEST(TaskQueueTest, StopFromOwnWorkerStopsTheQueueWithoutThrowing) {
  zarvik_test::LogCapture log;
  TaskQueue queue(2);
  queue.Start();
  std::promise<bool> stopped;
  std::atomic<bool> laterRan{false};
  queue.Post([&] {
    bool result = true;
    try {
      result = queue.Stop();
    } catch (...) {
      ADD_FAILURE() << "Stop threw on one of the queue's own workers";
    }
    // The queue no longer takes work, even from the worker that stopped it.
    queue.Post([&] { laterRan = true; });
    stopped.set_value(result);
  });
  EXPECT_FALSE(stopped.get_future().get());
  EXPECT_TRUE(queue.Stop());  // nothing is left to join, and nothing hangs
  EXPECT_FALSE(laterRan);
  EXPECT_TRUE(log.HasError("own workers"));
}

TEST(TaskQueueTest, QueueDestroyedByItsOwnTaskDoesNotEndTheProcess) {
  // The owner of a queue may be destroyed from a task it posted (its destructor stops the queue).
  std::promise<void> destroyed;
  auto* queue = new TaskQueue(1);
  queue->Start();
  queue->Post([&] {
    delete queue;
    destroyed.set_value();
  });
  EXPECT_EQ(destroyed.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST(TaskQueueTest, ThrowingTaskDoesNotEndTheWorker) {
  TaskQueue queue(1);
  queue.Start();
  std::promise<void> after;
  queue.Post([] { throw std::runtime_error("boom"); });
  queue.Post([&] { after.set_value(); });
  EXPECT_EQ(after.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  queue.Stop();
}

}  // namespace
