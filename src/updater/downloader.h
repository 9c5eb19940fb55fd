// Blocking HTTP downloads straight into a local file: the small update manifest and the update
// package (with size check and progress posted to the update window).
#pragma once

#include <windows.h>

#include <string>

// Result codes: 0 success; 2 no transfer handle (manifest); 22 final status not 200 or no
// response; 56 the package transfer failed or its byte count differs from the announced size;
// 94 no transfer handle (package); 23 the target file could not be created.
constexpr int kDownloadOk = 0;
constexpr int kDownloadNoHandle = 2;
constexpr int kDownloadHttpError = 22;
constexpr int kDownloadCannotWrite = 23;
constexpr int kDownloadReceiveError = 56;
constexpr int kDownloadNoTransferHandle = 94;

// The window that receives WM_UPDATE_PROGRESS; set by the update procedure.
extern HWND ProgressWindow;
// Bytes received so far by the running package download.
extern double DownloadedBytes;

// Follows redirects, gives up after 60 s; the file is kept whatever the outcome.
int DownloadTinyFile(const std::string& url, const std::string& path, const std::string& proxy);
// Probes the size first; counts only an exact byte count with status 200. A failed download
// deletes the target file.
int DownloadFile(const std::string& url, const std::string& path);
// libcurl progress callback; never aborts the transfer.
int OnDownloadProgress(void* clientp, double dltotal, double dlnow, double ultotal, double ulnow);

namespace zarvik {
// The percentage posted for the given figures: truncated toward zero, 0 while the total is
// unknown or the quotient is not a finite number in range.
int DownloadPercent(double dltotal, double dlnow);
}  // namespace zarvik
