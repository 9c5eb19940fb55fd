#include "src/browser/net_fetch.h"

#include <windows.h>

#include <curl/curl.h>

#include "include/internal/cef_types.h"
#include "include/wrapper/cef_closure_task.h"
#include "src/common/text.h"

namespace cefimpl {

namespace {

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

int AbortWhenCancelled(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* cancelled = static_cast<std::atomic<bool>*>(user);
  return cancelled && cancelled->load() ? 1 : 0;
}

// A file: URL read from disk.
FetchResult ReadFileUrl(const std::string& url) {
  FetchResult result;
  std::string path = url.substr(5);
  while (path.size() > 1 && path[0] == '/' && path[1] == '/')
    path = path.substr(1);
  if (path.size() > 2 && path[0] == '/' && path[2] == ':')
    path = path.substr(1);
  char* unescaped =
      curl_easy_unescape(nullptr, path.c_str(), static_cast<int>(path.size()), nullptr);
  std::wstring wide = Utf8ToWide(unescaped ? unescaped : path);
  curl_free(unescaped);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    result.error = ERR_FILE_NOT_FOUND;
    return result;
  }
  char buffer[16384];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
    result.body.append(buffer, got);
  CloseHandle(file);
  result.status = 0;
  std::string lower = AsciiLower(url);
  result.mimeType =
      lower.size() > 4 && (lower.find(".htm") != std::string::npos) ? "text/html" : "text/plain";
  return result;
}

FetchResult Perform(const FetchJob& job) {
  if (UrlScheme(job.url) == "file")
    return ReadFileUrl(job.url);
  FetchResult result;
  CURL* curl = curl_easy_init();
  if (!curl) {
    result.error = ERR_FAILED;
    return result;
  }
  std::string acceptLanguage = "Accept-Language: " + job.acceptLanguage;
  curl_slist* headers = curl_slist_append(nullptr, acceptLanguage.c_str());
  headers = curl_slist_append(
      headers, "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
  curl_easy_setopt(curl, CURLOPT_URL, job.url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, job.userAgent.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, AbortWhenCancelled);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, job.cancelled.get());
  CURLcode rc = curl_easy_perform(curl);
  if (rc == CURLE_OK) {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    result.status = static_cast<int>(status);
    char* type = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
      std::string t = AsciiLower(type);
      result.mimeType = t.substr(0, t.find(';'));
    }
    char* redirect = nullptr;
    if (status >= 300 && status < 400 &&
        curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect)
      result.redirectUrl = redirect;
  } else {
    result.error = NetErrorFromCurl(rc);
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return result;
}

}  // namespace

int NetErrorFromCurl(int code) {
  switch (code) {
    case CURLE_OK:
      return ERR_NONE;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return ERR_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return ERR_CONNECTION_REFUSED;
    case CURLE_OPERATION_TIMEDOUT:
      return ERR_TIMED_OUT;
    case CURLE_ABORTED_BY_CALLBACK:
      return ERR_ABORTED;
    case CURLE_URL_MALFORMAT:
      return ERR_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return ERR_UNKNOWN_URL_SCHEME;
    case CURLE_GOT_NOTHING:
      return ERR_EMPTY_RESPONSE;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return ERR_CONNECTION_RESET;
    case CURLE_WEIRD_SERVER_REPLY:
      return ERR_INVALID_RESPONSE;
    default:
      return ERR_FAILED;
  }
}

const char* NetErrorText(int error) {
  switch (error) {
    case ERR_FAILED:
      return "ERR_FAILED";
    case ERR_ABORTED:
      return "ERR_ABORTED";
    case ERR_FILE_NOT_FOUND:
      return "ERR_FILE_NOT_FOUND";
    case ERR_TIMED_OUT:
      return "ERR_TIMED_OUT";
    case ERR_CONNECTION_RESET:
      return "ERR_CONNECTION_RESET";
    case ERR_CONNECTION_REFUSED:
      return "ERR_CONNECTION_REFUSED";
    case ERR_NAME_NOT_RESOLVED:
      return "ERR_NAME_NOT_RESOLVED";
    case ERR_INVALID_URL:
      return "ERR_INVALID_URL";
    case ERR_UNKNOWN_URL_SCHEME:
      return "ERR_UNKNOWN_URL_SCHEME";
    case ERR_TOO_MANY_REDIRECTS:
      return "ERR_TOO_MANY_REDIRECTS";
    case ERR_INVALID_RESPONSE:
      return "ERR_INVALID_RESPONSE";
    case ERR_EMPTY_RESPONSE:
      return "ERR_EMPTY_RESPONSE";
    default:
      return "ERR_FAILED";
  }
}

bool FetchBlocking(const std::string& url, std::string* body, int* status) {
  FetchJob job;
  job.url = url;
  job.userAgent = "Mozilla/5.0";
  job.acceptLanguage = "en-US";
  FetchResult result = Perform(job);
  *body = result.body;
  *status = result.status;
  return result.error == 0 && (result.status == 0 || (result.status >= 200 && result.status < 300));
}

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
    FetchResult result = Perform(job);
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
    CefPostTask(TID_UI, CefCreateClosureTask([done, result] { done(result); }));
  }
}

}  // namespace cefimpl
