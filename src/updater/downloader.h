// Blocking HTTP downloads straight into a local file: the small update manifest and the update
// package (with size check and progress posted to the update window).
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
// when it moves less than kLowSpeedBytes per second for kLowSpeedSeconds. So a server that
// accepts and never answers costs an attempt at most kProbeSeconds; one that answers the probe
// and then stalls at most kProbeSeconds + kConnectSeconds + kLowSpeedSeconds.
constexpr long kConnectSeconds = 10;
constexpr long kProbeSeconds = 15;
constexpr long kLowSpeedBytes = 1024;
constexpr long kLowSpeedSeconds = 15;
constexpr long kTinyFileSeconds = 60;  // the whole transfer of a small file
// Size caps: the manifest and its signature, and a package without a declared size.
constexpr long long kMaxTinyFileBytes = 64 * 1024;
constexpr long long kMaxPackageBytes = 512LL * 1024 * 1024;

// The window that receives WM_UPDATE_PROGRESS; set by the update procedure.
extern HWND ProgressWindow;
// Bytes received so far by the running package download.
extern double DownloadedBytes;

// Follows redirects, gives up after kTinyFileSeconds; at most `maxBytes` are accepted (else 63).
// The file is kept whatever the outcome.
int DownloadTinyFile(const std::string& url,
                     const std::string& path,
                     const std::string& proxy,
                     long long maxBytes = kMaxTinyFileBytes);
// Probes the size first; counts only an exact byte count with status 200, and never more than
// `maxBytes` (else 63). A failed download deletes the target file.
int DownloadFile(const std::string& url,
                 const std::string& path,
                 long long maxBytes = kMaxPackageBytes);
// libcurl progress callback; never aborts the transfer.
int OnDownloadProgress(void* clientp, double dltotal, double dlnow, double ultotal, double ulnow);

namespace zarvik {
// The percentage posted for the given figures: truncated toward zero, 0 while the total is
// unknown or the quotient is not a finite number in range.
int DownloadPercent(double dltotal, double dlnow);
}  // namespace zarvik
