#include "ui/task_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

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

TEST(TaskQueueTest, StopFromOwnWorkerIsRefused) {
  TaskQueue queue(1);
  queue.Start();
  std::promise<bool> refused;
  queue.Post([&] {
    try {
      queue.Stop();
      refused.set_value(false);
    } catch (const std::system_error& e) {
      refused.set_value(e.code() == std::errc::resource_deadlock_would_occur);
    }
  });
  EXPECT_TRUE(refused.get_future().get());
  queue.Stop();
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
