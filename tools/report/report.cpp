// report.exe: sends the update report. The client starts it with the report URL (base URL plus
// the query with the versions, the outcome and the GUID) as its whole command line; this program
// requests that URL once with an HTTP GET and ends. Exit code 0 when the service answered 200.
#include <windows.h>
#include <shellapi.h>

#include <curl/curl.h>

#include <string>

namespace {

size_t DiscardBody(char*, size_t size, size_t count, void*) {
  return size * count;
}

std::string ToAnsi(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1)
    return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size - 1));
  return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!args || count < 1)
    return 2;
  std::string url = ToAnsi(args[0]);
  LocalFree(args);
  if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0)
    return 2;  // started without a report URL

  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = curl_easy_init();
  if (!curl)
    return 3;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &DiscardBody);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  long status = 0;
  if (curl_easy_perform(curl) == CURLE_OK)
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  curl_global_cleanup();
  return status == 200 ? 0 : 1;
}
