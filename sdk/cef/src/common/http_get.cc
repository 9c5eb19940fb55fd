#include "src/common/http_get.h"

#include <windows.h>

#include <curl/curl.h>

#include "include/internal/cef_types.h"
#include "src/common/scoped_handle.h"
#include "src/common/text.h"

namespace cefimpl {

const char kDefaultUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/75.0.3770.100 "
    "Safari/537.36";

namespace {

const char kAcceptHeader[] =
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

int AbortWhenCancelled(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* cancelled = static_cast<std::atomic<bool>*>(user);
  return cancelled && cancelled->load() ? 1 : 0;
}

// A file: URL read from disk.
HttpGetResult ReadFileUrl(const std::string& url) {
  HttpGetResult result;
  std::string path = url.substr(5);
  while (path.size() > 1 && path[0] == '/' && path[1] == '/')
    path = path.substr(1);
  if (path.size() > 2 && path[0] == '/' && path[2] == ':')
    path = path.substr(1);
  ScopedCurlText unescaped(
      curl_easy_unescape(nullptr, path.c_str(), static_cast<int>(path.size()), nullptr));
  std::wstring wide = Utf8ToWide(unescaped ? std::string(unescaped.Get()) : path);
  ScopedFileHandle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    result.error = ERR_FILE_NOT_FOUND;
    return result;
  }
  char buffer[16384];
  DWORD got = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
    result.body.append(buffer, got);
  result.status = 0;
  std::string lower = AsciiLower(url);
  result.mimeType =
      lower.size() > 4 && (lower.find(".htm") != std::string::npos) ? "text/html" : "text/plain";
  return result;
}

HttpGetResult HttpGetImpl(const HttpGetRequest& job) {
  if (UrlScheme(job.url) == "file")
    return ReadFileUrl(job.url);
  HttpGetResult result;
  ScopedCurl curl(curl_easy_init());
  ScopedCurlList headers(
      curl_slist_append(nullptr, ("Accept-Language: " + job.acceptLanguage).c_str()));
  // Appending keeps the list's head; a failed append leaves the list as it was.
  if (!curl || !headers || !curl_slist_append(headers.Get(), kAcceptHeader)) {
    result.error = ERR_FAILED;
    return result;
  }
  CURL* c = curl.Get();
  // Every option matters to what is fetched: the first one refused fails the request.
  CURLcode set = CURLE_OK;
  auto option = [&set](CURLcode rc) {
    if (set == CURLE_OK)
      set = rc;
  };
  option(curl_easy_setopt(c, CURLOPT_URL, job.url.c_str()));
  option(curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.Get()));
  option(curl_easy_setopt(c, CURLOPT_USERAGENT, job.userAgent.c_str()));
  option(curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, job.followRedirects ? 1L : 0L));
  option(curl_easy_setopt(c, CURLOPT_NOPROXY, "*"));
  option(curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L));
  option(curl_easy_setopt(c, CURLOPT_TIMEOUT, 60L));
  option(curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L));
  option(curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, ""));
  option(curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, AppendBody));
  option(curl_easy_setopt(c, CURLOPT_WRITEDATA, &result.body));
  option(curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L));
  option(curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, AbortWhenCancelled));
  option(curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(job.cancelled)));
  CURLcode rc = set != CURLE_OK ? set : curl_easy_perform(c);
  if (rc == CURLE_OK) {
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    result.status = static_cast<int>(status);
    char* type = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
      std::string t = AsciiLower(type);
      result.mimeType = t.substr(0, t.find(';'));
    }
    char* redirect = nullptr;
    if (status >= 300 && status < 400 &&
        curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect)
      result.redirectUrl = redirect;
  } else {
    result.error = NetErrorFromCurl(rc);
  }
  return result;
}

}  // namespace

HttpGetResult HttpGet(const HttpGetRequest& request) {
  return HttpGetImpl(request);
}

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

}  // namespace cefimpl
