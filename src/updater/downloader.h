// Blocking HTTP downloads: the small update manifest (into memory or a file) and the update
// package straight into a local file (with size check and progress posted to the update window).
// URLs are narrow text; file paths are wide and opened as such.
#pragma once

#include <windows.h>

#include <string>

// Result codes: 0 success; 2 no transfer handle (manifest); 22 final status not 200 or no
// response; 56 the package transfer failed or its byte count differs from the announced size;
// 94 no transfer handle (package); 23 the target file could not be created; 28 the server
// stalled (a time limit below ran out); 63 the reply is larger than allowed; 95 (set by the
// update procedure) the package differs from the manifest's size or SHA-256.
constexpr int kDownloadOk = 0;
constexpr int kDownloadNoHandle = 2;
constexpr int kDownloadHttpError = 22;
constexpr int kDownloadCannotWrite = 23;
constexpr int kDownloadReceiveError = 56;
constexpr int kDownloadNoTransferHandle = 94;
constexpr int kDownloadTimedOut = 28;
constexpr int kDownloadTooLarge = 63;
// Set by the update procedure: the package's size or SHA-256 differs from the manifest's.
constexpr int kDownloadMismatch = 95;

// Time limits. A connection must be made within kConnectSeconds. The size probe must be answered
// within kProbeSeconds, and a stalled probe ends the attempt at once. The package transfer ends
// when it moves less than kLowSpeedBytes per second for kLowSpeedSeconds, and in any case when
// its deadline (DownloadFile's `deadlineMs`, PackageTryDeadlineMs below) has passed. So a server
// that accepts and never answers costs an attempt at most kProbeSeconds, and one that keeps
// sending slowly at most kProbeSeconds + the deadline; the update procedure also caps its tries
// together (PackageDeadlines::courseMs).
constexpr long kConnectSeconds = 10;
constexpr long kProbeSeconds = 15;
constexpr long kLowSpeedBytes = 1024;
constexpr long kLowSpeedSeconds = 15;
constexpr long kTinyFileSeconds = 60;  // the whole transfer of a small file
// Size caps: the manifest and its signature, and a package without a declared size.
constexpr long long kMaxTinyFileBytes = 64 * 1024;
constexpr long long kMaxPackageBytes = 512LL * 1024 * 1024;

namespace zarvik {

// The deadlines of the package download: each try may take its size at `bytesPerSecond` plus
// `slackMs` (or `withoutSizeMs` when the manifest names no size), and all tries of one update
// together at most `courseMs`. Tests make them small.
struct PackageDeadlines {
  long long bytesPerSecond = 64 * 1024;
  DWORD slackMs = 60 * 1000;
  DWORD withoutSizeMs = 30 * 60 * 1000;
  DWORD courseMs = 60 * 60 * 1000;
};
PackageDeadlines CurrentPackageDeadlines();
void SetPackageDeadlines(const PackageDeadlines& deadlines);
// The deadline of one try for a package of `size` bytes (negative: not known), in milliseconds.
DWORD PackageTryDeadlineMs(long long size, const PackageDeadlines& deadlines);

}  // namespace zarvik

// The window that receives WM_UPDATE_PROGRESS; set by the update procedure.
extern HWND ProgressWindow;
// Bytes received so far by the running package download.
extern double DownloadedBytes;

// Follows redirects, gives up after kTinyFileSeconds; at most `maxBytes` are accepted (else 63).
// The file is kept whatever the outcome.
int DownloadTinyFile(const std::string& url,
                     const std::wstring& path,
                     const std::string& proxy,
                     long long maxBytes = kMaxTinyFileBytes);
// The same into memory: `bytes` holds the reply when the result is 0.
int DownloadTinyBytes(const std::string& url,
                      const std::string& proxy,
                      long long maxBytes,
                      std::string* bytes);
// Probes the size first; counts only an exact byte count with status 200, and never more than
// `maxBytes` (else 63). With `deadlineMs` (0: none) the transfer ends with 28 when it has not
// finished by then. A failed download deletes the target file.
int DownloadFile(const std::string& url,
                 const std::wstring& path,
                 long long maxBytes = kMaxPackageBytes,
                 DWORD deadlineMs = 0);
// libcurl progress callback; never aborts the transfer.
int OnDownloadProgress(void* clientp, double dltotal, double dlnow, double ultotal, double ulnow);

namespace zarvik {
// The percentage posted for the given figures: truncated toward zero, 0 while the total is
// unknown or the quotient is not a finite number in range.
int DownloadPercent(double dltotal, double dlnow);
}  // namespace zarvik
