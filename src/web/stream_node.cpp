#include "web/stream_node.h"

#include <windows.h>

#include <curl/curl.h>

#include "common/curl_options.h"
#include "common/scoped_handle.h"
#include "diagnostics/log.h"
#include "web/http_get.h"
#include "web/stream_hosts.h"  // generated from the build settings

namespace {

constexpr int kAttempts = 2;
constexpr long kTimeoutSeconds = 5;
constexpr DWORD kPauseAfterFailureMs = 1000;

}  // namespace

std::string QueryStreamNode(const std::string& streamName) {
  return zarvik::QueryStreamNodeAt(ZARVIK_STREAM_SCHEDULER_HOST, ZARVIK_STREAM_PULL_HOST,
                                   streamName);
}

namespace zarvik {

std::string QueryStreamNodeAt(const std::string& schedulerHost,
                              const std::string& pullHost,
                              const std::string& streamName) {
  // The name goes into a request header: a line break would end that header and start others.
  if (streamName.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    LogLine(ERROR, "GetWsNgbNode: a stream name with a line break or NUL was refused.");
    return std::string();
  }
  const std::string wsUrlHeader = "WS_URL:" + pullHost + "/show/" + streamName;
  std::string reply;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    ScopedCurl curl(curl_easy_init());
    if (!curl)
      return reply;
    reply.clear();
    std::string headerText;  // collected, not used

    // A failed append leaves the list as it was; the request then goes out with fewer headers.
    ScopedCurlList headerList;
    for (const std::string& line : {std::string("Accept:*/*"), wsUrlHeader,
                                    std::string("WS_RETIP_NUM:3"), std::string("WS_URL_TYPE:3")}) {
      if (curl_slist* grown = curl_slist_append(headerList.Get(), line.c_str())) {
        headerList.Release();  // the grown list starts with the old one
        headerList.Reset(grown);
      }
    }

    CurlOptions options(curl.Get());
    options.Set(CURLOPT_HTTPHEADER, headerList.Get())
        .Set(CURLOPT_URL, schedulerHost.c_str())
        .Set(CURLOPT_READFUNCTION, nullptr)
        .Set(CURLOPT_HEADERFUNCTION, AppendHeaderToString)
        .Set(CURLOPT_HEADERDATA, &headerText)
        .Set(CURLOPT_WRITEFUNCTION, AppendBodyToString)
        .Set(CURLOPT_WRITEDATA, &reply)
        .Set(CURLOPT_CONNECTTIMEOUT, kTimeoutSeconds)
        .Set(CURLOPT_TIMEOUT, kTimeoutSeconds);
    if (!options.ok()) {
      // The same options would be refused again: no retry.
      LogLine(ERROR, "GetWsNgbNode: cannot prepare the request: ", options.Problem());
      return std::string();
    }
    CURLcode code = curl_easy_perform(curl.Get());
    long responseCode = 0;  // read as the scheduler's protocol asks; not used further
    curl_easy_getinfo(curl.Get(), CURLINFO_RESPONSE_CODE, &responseCode);
    curl.Reset();

    if (code == CURLE_OK && !reply.empty())
      break;
    if (code == CURLE_WRITE_ERROR)
      reply.clear();  // cut off at the size cap: no answer
    Sleep(kPauseAfterFailureMs);
  }
  return reply;
}

}  // namespace zarvik
