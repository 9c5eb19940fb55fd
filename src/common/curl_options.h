// Sets the options of one libcurl handle and keeps the first one that was refused. A transfer
// that lacks an option (its timeout, its size cap, its sink) must not go out, so callers set all
// options, then check ok() once and give up with Problem() in their log line.
#pragma once

#include <curl/curl.h>

#include <string>

namespace zarvik {

class CurlOptions {
 public:
  explicit CurlOptions(CURL* curl) : m_curl(curl) {}

  // After a refused option the rest are not tried: the handle is not used anyway.
  template <typename Value>
  CurlOptions& Set(CURLoption option, Value value) {
    if (m_failed == CURLE_OK) {
      const CURLcode code = curl_easy_setopt(m_curl, option, value);
      if (code != CURLE_OK) {
        m_failed = code;
        m_failedOption = option;
      }
    }
    return *this;
  }

  bool ok() const { return m_failed == CURLE_OK; }
  CURLcode failure() const { return m_failed; }
  // "option 10002 refused: <libcurl's reason>", or "" when every option was taken.
  std::string Problem() const {
    if (ok())
      return std::string();
    return "option " + std::to_string(static_cast<int>(m_failedOption)) +
           " refused: " + curl_easy_strerror(m_failed);
  }

 private:
  CURL* m_curl;
  CURLcode m_failed = CURLE_OK;
  CURLoption m_failedOption = CURLOPT_URL;
};

}  // namespace zarvik
