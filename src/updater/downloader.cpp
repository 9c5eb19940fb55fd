#include "updater/downloader.h"

#include <curl/curl.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "diagnostics/log.h"
#include "updater/update_messages.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // the double-based progress callback

HWND ProgressWindow = nullptr;
double DownloadedBytes = 0;

namespace {

// The last percentage posted by the running package download: a transfer calls back thousands of
// times, the window only needs to hear each new figure once.
int g_lastPostedPercent = -1;

void PrintLocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  printf("begin time : %d/%d/%d %d:%.2d:%.2d:%d\n", now.wYear, now.wMonth, now.wDay, now.wHour,
         now.wMinute, now.wSecond, now.wMilliseconds);
}

}  // namespace

namespace zarvik {

int DownloadPercent(double dltotal, double dlnow) {
  double percent = dlnow / dltotal * 100.0;
  if (!std::isfinite(percent) || percent < 0 || percent > 1000000.0)
    return 0;
  return static_cast<int>(percent);
}

}  // namespace zarvik

int DownloadTinyFile(const std::string& url, const std::string& path, const std::string& proxy) {
  CURL* curl = curl_easy_init();
  if (!curl)
    return kDownloadNoHandle;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  if (!proxy.empty())
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
  FILE* file = fopen(path.c_str(), "wb+");
  if (!file) {
    LogLine(ERROR, "cannot create file : ", path);
    curl_easy_cleanup(curl);
    return kDownloadCannotWrite;
  }
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, nullptr);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &fwrite);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_UNRESTRICTED_AUTH, 1L);
  long status = 0;
  if (curl_easy_perform(curl) == CURLE_OK)
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  fclose(file);
  curl_easy_cleanup(curl);
  return status != 200 ? kDownloadHttpError : kDownloadOk;
}

int DownloadFile(const std::string& url, const std::string& path) {
  double announced = -1.0;
  if (CURL* probe = curl_easy_init()) {
    curl_easy_setopt(probe, CURLOPT_URL, url.c_str());
    curl_easy_setopt(probe, CURLOPT_CUSTOMREQUEST, "GET");
    curl_easy_setopt(probe, CURLOPT_NOBODY, 1L);
    if (curl_easy_perform(probe) == CURLE_OK)
      curl_easy_getinfo(probe, CURLINFO_CONTENT_LENGTH_DOWNLOAD, &announced);
    curl_easy_cleanup(probe);
  }
  char debugText[64];
  snprintf(debugText, sizeof(debugText), "%f", announced);
  OutputDebugStringA(
      ("the File Size : " + std::string(debugText) + " the file url: " + url).c_str());

  CURL* curl = curl_easy_init();
  if (!curl)
    return kDownloadNoTransferHandle;
  DownloadedBytes = 0;
  g_lastPostedPercent = -1;
  FILE* file = fopen(path.c_str(), "wb+");
  if (!file) {
    LogLine(ERROR, "cannot create file : ", path);
    curl_easy_cleanup(curl);
    return kDownloadCannotWrite;
  }
  static const char kProgressData[] = "* ";
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &fwrite);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_PROGRESSFUNCTION, &OnDownloadProgress);
  curl_easy_setopt(curl, CURLOPT_PROGRESSDATA, kProgressData);
  curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 262144L);

  DWORD start = GetTickCount();
  PrintLocalTime();
  CURLcode transfer = curl_easy_perform(curl);
  snprintf(debugText, sizeof(debugText), "%f", DownloadedBytes);
  OutputDebugStringA(("Had Download Size : " + std::string(debugText) +
                      " return code : " + std::to_string(static_cast<int>(transfer)))
                         .c_str());
  int result = kDownloadOk;
  if (transfer == CURLE_OK && DownloadedBytes == announced) {
    PrintLocalTime();
    printf("%ds", static_cast<int>((GetTickCount() - start) / 1000));
    fclose(file);
  } else {
    printf("download failed error msg : %s,code : %d\n", curl_easy_strerror(transfer),
           static_cast<int>(transfer));
    fclose(file);
    DeleteFileA(path.c_str());
    result = kDownloadReceiveError;
  }
  fflush(stdout);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  if (status != 200) {
    // An error page of the right length is no package either.
    if (result == kDownloadOk)
      DeleteFileA(path.c_str());
    return kDownloadHttpError;
  }
  return result;
}

int OnDownloadProgress(void*, double dltotal, double dlnow, double, double) {
  double percent = dlnow / dltotal * 100.0;
  printf("t = %f,d = %f,%.2f%c\n", dltotal, dlnow, percent, '%');
  int posted = zarvik::DownloadPercent(dltotal, dlnow);
  if (ProgressWindow && posted != g_lastPostedPercent) {
    g_lastPostedPercent = posted;
    PostMessageW(ProgressWindow, WM_UPDATE_PROGRESS, 0, posted);
  }
  DownloadedBytes = dlnow;
  return 0;
}
