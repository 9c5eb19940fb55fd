// Page loads over the network: a small pool of worker threads running libcurl. Results come
// back as tasks on the UI thread. Redirects are not followed here: the browser decides on each.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "src/common/http_get.h"

namespace cefimpl {

typedef HttpGetResult FetchResult;

struct FetchJob {
  std::string url;
  std::string userAgent;
  std::string acceptLanguage;
  std::shared_ptr<std::atomic<bool>> cancelled;
  std::function<void(const FetchResult&)> done;  // runs on the UI thread
};

class NetFetcher {
 public:
  explicit NetFetcher(int workers);
  ~NetFetcher();  // cancels what runs and joins the workers
  void Start(FetchJob job);

 private:
  void WorkerMain();
  std::mutex m_lock;
  std::condition_variable m_wake;
  std::deque<FetchJob> m_jobs;
  std::vector<std::shared_ptr<std::atomic<bool>>> m_running;
  bool m_stop = false;
  std::vector<std::thread> m_workers;
};

}  // namespace cefimpl
