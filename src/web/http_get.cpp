#include "web/http_get.h"

#include <curl/curl.h>

#include <algorithm>
#include <exception>

#include "common/curl_options.h"
#include "common/scoped_handle.h"
#include "diagnostics/log.h"

namespace {

constexpr long kHttpGetTimeoutSeconds = 30;

}  // namespace

int HttpGetToString(const std::string& url, std::string& body) {
  return zarvik::HttpGetWithTimeouts(url, body, kHttpGetTimeoutSeconds, kHttpGetTimeoutSeconds);
}

size_t AppendBodyToString(void* data, size_t size, size_t count, void* userdata) {
  auto* text = static_cast<std::string*>(userdata);
  if (!data || !text)
    return static_cast<size_t>(-1);
  size_t bytes = size * count;
  if (bytes > kMaxReplyBodyBytes || text->size() > kMaxReplyBodyBytes - bytes) {
    LogLine(ERROR, "the reply is larger than ", static_cast<unsigned>(kMaxReplyBodyBytes),
            " bytes; the transfer was stopped.");
    return static_cast<size_t>(-1);
  }
  // No exception may travel back through libcurl: a reply too large to hold aborts the transfer.
  try {
    text->append(static_cast<const char*>(data), size * count);
  } catch (const std::exception&) {
    return static_cast<size_t>(-1);
  }
  return count;
}

size_t AppendHeaderToString(void* data, size_t size, size_t count, void* userdata) {
  auto* text = static_cast<std::string*>(userdata);
  if (!data || !text)
    return static_cast<size_t>(-1);
  const char* begin = static_cast<const char*>(data);
  const char* end = begin + size * count;
  const char* stop = std::find(begin, end, '\0');
  if (static_cast<size_t>(stop - begin) > kMaxReplyHeaderBytes - std::min(text->size(),
                                                                          kMaxReplyHeaderBytes)) {
    LogLine(ERROR, "the reply's headers are larger than ",
            static_cast<unsigned>(kMaxReplyHeaderBytes), " bytes; the transfer was stopped.");
    return static_cast<size_t>(-1);
  }
  try {
    text->append(begin, stop);
  } catch (const std::exception&) {
    return static_cast<size_t>(-1);
  }
  return count;
}

namespace zarvik {

int HttpGetWithTimeouts(const std::string& url,
                        std::string& body,
                        long connectSeconds,
                        long totalSeconds) {
  ScopedCurl curl(curl_easy_init());
  if (!curl)
    return CURLE_FAILED_INIT;  // 2
  // Only these options: no redirects followed, HTTP error pages come back as bodies.
  CurlOptions options(curl.Get());
  options.Set(CURLOPT_URL, url.c_str())
      .Set(CURLOPT_WRITEFUNCTION, AppendBodyToString)
      .Set(CURLOPT_WRITEDATA, &body)
      .Set(CURLOPT_NOSIGNAL, 10L)
      .Set(CURLOPT_CONNECTTIMEOUT, connectSeconds)
      .Set(CURLOPT_TIMEOUT, totalSeconds);
  if (!options.ok()) {
    LogLine(ERROR, "cannot prepare the request: ", options.Problem());
    return static_cast<int>(options.failure());
  }
  return static_cast<int>(curl_easy_perform(curl.Get()));
}

}  // namespace zarvik
