#include "updater/downloader.h"

#include <curl/curl.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "common/curl_options.h"
#include "common/encoding.h"
#include "common/scoped_handle.h"
#include "diagnostics/log.h"
#include "updater/update_messages.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // the double-based progress callback

HWND ProgressWindow = nullptr;
double DownloadedBytes = 0;

namespace {

// The last percentage posted by the running package download: a transfer calls back thousands of
// times, the window only needs to hear each new figure once.
int g_lastPostedPercent = -1;

zarvik::PackageDeadlines g_packageDeadlines;

// The sink of the downloads: the file or a buffer in memory, and a count that refuses more than
// the cap.
struct CappedFile {
  FILE* file;
  long long written;
  long long cap;
  bool overflow;
  std::string* memory;
};

size_t WriteCapped(char* data, size_t size, size_t count, void* user) {
  CappedFile* sink = static_cast<CappedFile*>(user);
  const size_t bytes = size * count;
  if (sink->written + static_cast<long long>(bytes) > sink->cap) {
    sink->overflow = true;
    return 0;  // libcurl ends the transfer with a write error
  }
  size_t done = bytes;
  if (sink->memory)
    sink->memory->append(data, bytes);
  else
    done = fwrite(data, 1, bytes, sink->file);
  sink->written += static_cast<long long>(done);
  return done;
}

// The small-file download into `file` or, when it is null, into `memory`.
int DownloadTiny(const std::string& url,
                 const std::string& proxy,
                 long long maxBytes,
                 const std::wstring* file,
                 std::string* memory) {
  zarvik::ScopedCurl curl(curl_easy_init());
  if (!curl)
    return kDownloadNoHandle;
  zarvik::CurlOptions options(curl.Get());
  options.Set(CURLOPT_URL, url.c_str());
  if (!proxy.empty())
    options.Set(CURLOPT_PROXY, proxy.c_str());
  CappedFile sink = {nullptr, 0, maxBytes, false, file ? nullptr : memory};
  options.Set(CURLOPT_READFUNCTION, nullptr)
      .Set(CURLOPT_WRITEFUNCTION, &WriteCapped)
      .Set(CURLOPT_WRITEDATA, &sink)
      .Set(CURLOPT_NOSIGNAL, 1L)
      .Set(CURLOPT_TIMEOUT, kTinyFileSeconds)
      .Set(CURLOPT_CONNECTTIMEOUT, kConnectSeconds)
      .Set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes))
      .Set(CURLOPT_FOLLOWLOCATION, 1L)
      .Set(CURLOPT_UNRESTRICTED_AUTH, 1L);
  const std::string target = file ? zarvik::WideToAnsi(*file) : "memory";
  if (!options.ok()) {
    LogLine(ERROR, "cannot prepare the download of ", target, ": ", options.Problem());
    return kDownloadNoHandle;
  }
  zarvik::ScopedStdioFile opened(file ? _wfopen(file->c_str(), L"wb+") : nullptr);
  if (file && !opened) {
    LogLine(ERROR, "cannot create file : ", target);
    return kDownloadCannotWrite;
  }
  sink.file = opened.Get();
  if (memory)
    memory->clear();
  long status = 0;
  CURLcode transfer = curl_easy_perform(curl.Get());
  if (transfer == CURLE_OK)
    curl_easy_getinfo(curl.Get(), CURLINFO_RESPONSE_CODE, &status);
  opened.Reset();
  curl.Reset();
  if (transfer == CURLE_FILESIZE_EXCEEDED || sink.overflow) {
    LogLine(ERROR, "the reply from ", url, " is larger than ", maxBytes, " bytes.");
    return kDownloadTooLarge;
  }
  if (transfer == CURLE_OPERATION_TIMEDOUT)
    return kDownloadTimedOut;
  return status != 200 ? kDownloadHttpError : kDownloadOk;
}

void PrintLocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  printf("begin time : %d/%d/%d %d:%.2d:%.2d:%d\n", now.wYear, now.wMonth, now.wDay, now.wHour,
         now.wMinute, now.wSecond, now.wMilliseconds);
}

}  // namespace

namespace zarvik {

PackageDeadlines CurrentPackageDeadlines() {
  return g_packageDeadlines;
}

void SetPackageDeadlines(const PackageDeadlines& deadlines) {
  g_packageDeadlines = deadlines;
}

DWORD PackageTryDeadlineMs(long long size, const PackageDeadlines& deadlines) {
  if (size < 0 || deadlines.bytesPerSecond <= 0)
    return deadlines.withoutSizeMs;
  const long long ms = size / deadlines.bytesPerSecond * 1000 +
                       size % deadlines.bytesPerSecond * 1000 / deadlines.bytesPerSecond +
                       deadlines.slackMs;
  return ms > 0x7FFFFFFFLL ? 0x7FFFFFFFu : static_cast<DWORD>(ms);
}

int DownloadPercent(double dltotal, double dlnow) {
  double percent = dlnow / dltotal * 100.0;
  if (!std::isfinite(percent) || percent < 0 || percent > 1000000.0)
    return 0;
  return static_cast<int>(percent);
}

}  // namespace zarvik

int DownloadTinyFile(const std::string& url,
                     const std::wstring& path,
                     const std::string& proxy,
                     long long maxBytes) {
  return DownloadTiny(url, proxy, maxBytes, &path, nullptr);
}

int DownloadTinyBytes(const std::string& url,
                      const std::string& proxy,
                      long long maxBytes,
                      std::string* bytes) {
  return DownloadTiny(url, proxy, maxBytes, nullptr, bytes);
}

int DownloadFile(const std::string& url,
                 const std::wstring& path,
                 long long maxBytes,
                 DWORD deadlineMs) {
  double announced = -1.0;
  if (zarvik::ScopedCurl probe{curl_easy_init()}) {
    zarvik::CurlOptions options(probe.Get());
    options.Set(CURLOPT_URL, url.c_str())
        .Set(CURLOPT_CUSTOMREQUEST, "GET")
        .Set(CURLOPT_NOBODY, 1L)
        .Set(CURLOPT_NOSIGNAL, 1L)
        .Set(CURLOPT_CONNECTTIMEOUT, kConnectSeconds)
        .Set(CURLOPT_TIMEOUT, kProbeSeconds);
    if (!options.ok()) {
      LogLine(ERROR, "cannot prepare the size probe of ", url, ": ", options.Problem());
      return kDownloadNoHandle;
    }
    CURLcode probed = curl_easy_perform(probe.Get());
    if (probed == CURLE_OK)
      curl_easy_getinfo(probe.Get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD, &announced);
    probe.Reset();
    if (probed == CURLE_OPERATION_TIMEDOUT) {
      // A server that takes this long to name a size will not deliver a package in time.
      LogLine(ERROR, "the size probe of ", url, " timed out.");
      return kDownloadTimedOut;
    }
  }
  if (announced > static_cast<double>(maxBytes)) {
    LogLine(ERROR, "the package at ", url, " is larger than ", maxBytes, " bytes.");
    return kDownloadTooLarge;
  }
  char debugText[64];
  snprintf(debugText, sizeof(debugText), "%f", announced);
  OutputDebugStringA(
      ("the File Size : " + std::string(debugText) + " the file url: " + url).c_str());

  zarvik::ScopedCurl curl(curl_easy_init());
  if (!curl)
    return kDownloadNoTransferHandle;
  static const char kProgressData[] = "* ";
  CappedFile sink = {nullptr, 0, maxBytes, false, nullptr};
  zarvik::CurlOptions options(curl.Get());
  options.Set(CURLOPT_URL, url.c_str())
      .Set(CURLOPT_WRITEDATA, &sink)
      .Set(CURLOPT_WRITEFUNCTION, &WriteCapped)
      .Set(CURLOPT_NOPROGRESS, 0L)
      .Set(CURLOPT_PROGRESSFUNCTION, &OnDownloadProgress)
      .Set(CURLOPT_PROGRESSDATA, kProgressData)
      .Set(CURLOPT_BUFFERSIZE, 262144L)
      .Set(CURLOPT_NOSIGNAL, 1L)
      .Set(CURLOPT_CONNECTTIMEOUT, kConnectSeconds)
      .Set(CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytes)
      .Set(CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
  if (deadlineMs > 0)
    options.Set(CURLOPT_TIMEOUT_MS, static_cast<long>(deadlineMs));
  if (!options.ok()) {
    LogLine(ERROR, "cannot prepare the package download from ", url, ": ", options.Problem());
    return kDownloadNoTransferHandle;
  }
  DownloadedBytes = 0;
  g_lastPostedPercent = -1;
  zarvik::ScopedStdioFile file(_wfopen(path.c_str(), L"wb+"));
  if (!file) {
    LogLine(ERROR, "cannot create file : ", zarvik::WideToAnsi(path));
    return kDownloadCannotWrite;
  }
  sink.file = file.Get();

  DWORD start = GetTickCount();
  PrintLocalTime();
  CURLcode transfer = curl_easy_perform(curl.Get());
  snprintf(debugText, sizeof(debugText), "%f", DownloadedBytes);
  OutputDebugStringA(("Had Download Size : " + std::string(debugText) +
                      " return code : " + std::to_string(static_cast<int>(transfer)))
                         .c_str());
  int result = kDownloadOk;
  if (transfer == CURLE_OK && DownloadedBytes == announced) {
    PrintLocalTime();
    printf("%ds", static_cast<int>((GetTickCount() - start) / 1000));
    file.Reset();
  } else {
    printf("download failed error msg : %s,code : %d\n", curl_easy_strerror(transfer),
           static_cast<int>(transfer));
    file.Reset();  // closed before it can be deleted
    DeleteFileW(path.c_str());
    if (transfer == CURLE_OPERATION_TIMEDOUT) {
      if (deadlineMs > 0 && GetTickCount() - start >= deadlineMs)
        LogLine(ERROR, "the package download from ", url, " passed its deadline of ", deadlineMs,
                " ms.");
      else
        LogLine(ERROR, "the package download from ", url, " stalled.");
      result = kDownloadTimedOut;
    } else if (sink.overflow || transfer == CURLE_FILESIZE_EXCEEDED) {
      LogLine(ERROR, "the package at ", url, " is larger than ", maxBytes, " bytes.");
      result = kDownloadTooLarge;
    } else {
      result = kDownloadReceiveError;
    }
  }
  fflush(stdout);
  long status = 0;
  curl_easy_getinfo(curl.Get(), CURLINFO_RESPONSE_CODE, &status);
  curl.Reset();
  if (status != 200 && result != kDownloadTimedOut && result != kDownloadTooLarge) {
    // An error page of the right length is no package either.
    if (result == kDownloadOk)
      DeleteFileW(path.c_str());
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
