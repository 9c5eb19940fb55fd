#include "src/browser/net_fetch.h"

#include <windows.h>

#include "include/internal/cef_types.h"
#include "src/common/threads.h"
#include "src/common/trace_events.h"

namespace cefimpl {

NetFetcher::NetFetcher(int workers) {
  for (int i = 0; i < workers; ++i)
    m_workers.emplace_back([this] { WorkerMain(); });
}

NetFetcher::~NetFetcher() {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_stop = true;
    for (auto& running : m_running)
      running->store(true);
    for (auto& job : m_jobs)
      job.cancelled->store(true);
    m_jobs.clear();
  }
  m_wake.notify_all();
  for (auto& worker : m_workers)
    worker.join();
}

void NetFetcher::Start(FetchJob job) {
  if (!job.cancelled)
    job.cancelled = std::make_shared<std::atomic<bool>>(false);
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_jobs.push_back(std::move(job));
  }
  m_wake.notify_one();
}

void NetFetcher::WorkerMain() {
  for (;;) {
    FetchJob job;
    {
      std::unique_lock<std::mutex> lock(m_lock);
      m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
      if (m_stop)
        return;
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
      m_running.push_back(job.cancelled);
    }
    HttpGetRequest request;
    request.url = job.url;
    request.userAgent = job.userAgent;
    request.acceptLanguage = job.acceptLanguage;
    request.cancelled = job.cancelled.get();
    TraceSpan span("page request", job.url);
    FetchResult result = HttpGet(request);
    {
      std::lock_guard<std::mutex> lock(m_lock);
      for (auto it = m_running.begin(); it != m_running.end(); ++it) {
        if (*it == job.cancelled) {
          m_running.erase(it);
          break;
        }
      }
    }
    if (job.cancelled->load())
      continue;  // a newer navigation or the shutdown took over
    auto done = job.done;
    CefPostTask(TID_UI, cefimpl::FunctionTask([done, result] { done(result); }));
  }
}

}  // namespace cefimpl
