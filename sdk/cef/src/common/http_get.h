// One blocking HTTP GET with libcurl (http and file URLs), and the browser's names for network
// errors. The browser's loads and the renderer's external scripts both use it.
#pragma once

#include <atomic>
#include <string>

namespace cefimpl {

struct HttpGetResult {
  int error = 0;  // 0, or the browser's net error number
  int status = 0;
  std::string mimeType;
  std::string body;
  std::string redirectUrl;  // set for a 3xx answer with a Location
};

struct HttpGetRequest {
  std::string url;
  std::string userAgent;
  std::string acceptLanguage;
  bool followRedirects = false;
  const std::atomic<bool>* cancelled = nullptr;  // aborts the transfer when it turns true
};

HttpGetResult HttpGet(const HttpGetRequest& request);

// The engine's user agent when the settings name none.
extern const char kDefaultUserAgent[];

// The browser's error number and text for a libcurl result.
int NetErrorFromCurl(int curlCode);
const char* NetErrorText(int error);

}  // namespace cefimpl
