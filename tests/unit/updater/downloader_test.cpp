#include "updater/downloader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/encoding.h"
#include "support/download_routes.h"
#include "support/file_tree.h"
#include "support/log_capture.h"
#include "support/loopback_http_server.h"
#include "support/temp_dir.h"
#include "updater/update_messages.h"

using zarvik_test::LoopbackHttpServer;
using zarvik_test::PathExists;
using zarvik_test::ReadFileBytes;
using zarvik_test::RouteBody;
using zarvik_test::TempDir;

namespace {

TEST(Downloader, PackageCodesAndPartialFiles) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  server.SetHandler(zarvik_test::DownloadRoutes());
  TempDir temp;
  struct Case {
    const char* path;
    int code;
    size_t size;  // of the kept file; ignored when none is kept
  } cases[] = {
      {"/file?size=200000", kDownloadOk, 200000},
      {"/file?size=0", kDownloadOk, 0},
      {"/nolength?size=5000", kDownloadReceiveError, 0},
      {"/short?size=8000", kDownloadReceiveError, 0},
      {"/grow?size=3000", kDownloadReceiveError, 0},
      {"/missing", kDownloadHttpError, 0},
      {"/moved", kDownloadHttpError, 0},  // the package download does not follow redirects
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::wstring target = temp.File(L"zarvik.zip");
    ASSERT_TRUE(zarvik_test::WriteFileBytes(target, "old package"));
    int code = DownloadFile(server.Url(c.path), target);
    if (c.code == kDownloadOk) {
      EXPECT_EQ(code, kDownloadOk);
      EXPECT_EQ(ReadFileBytes(target), RouteBody(c.size));
    } else {
      EXPECT_EQ(code, c.code);
      EXPECT_FALSE(PathExists(target)) << "a failed package download leaves no file";
    }
  }
  // Nothing answers on a closed port: 22 as well.
  EXPECT_EQ(DownloadFile("http://127.0.0.1:1/zarvik.zip", temp.File(L"p.zip")), kDownloadHttpError);
}

TEST(Downloader, ManifestFollowsRedirectsAndKeepsWhatArrived) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  server.SetHandler(zarvik_test::DownloadRoutes());
  TempDir temp;
  std::wstring target = temp.File(L"update.ini");
  ASSERT_TRUE(zarvik_test::WriteFileBytes(target, "older copy that is longer than the new one"));
  EXPECT_EQ(DownloadTinyFile(server.Url("/moved"), target, ""), kDownloadOk);
  EXPECT_EQ(ReadFileBytes(target), RouteBody(100));

  EXPECT_EQ(DownloadTinyFile(server.Url("/missing"), target, ""), kDownloadHttpError);
  EXPECT_EQ(ReadFileBytes(target), zarvik_test::kNotHerePage);  // the manifest download keeps it
  EXPECT_EQ(DownloadTinyFile(server.Url("/nolength?size=10"), target, ""), kDownloadOk);
  EXPECT_EQ(ReadFileBytes(target), RouteBody(10));
  EXPECT_EQ(DownloadTinyFile("http://127.0.0.1:1/update.ini", target, ""), kDownloadHttpError);

  // A proxy text is used: the request reaches the proxy (our server) in absolute form.
  EXPECT_EQ(DownloadTinyFile("http://update.example.invalid/file?size=5", target, server.Url("")),
            kDownloadOk);
  EXPECT_EQ(server.Requests().back().requestLine,
            "GET http://update.example.invalid/file?size=5 HTTP/1.1");
  EXPECT_EQ(ReadFileBytes(target), RouteBody(5));
}

TEST(Downloader, TargetThatCannotBeCreatedGivesAnErrorWithoutARequest) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  server.SetHandler(zarvik_test::DownloadRoutes());
  TempDir temp;
  const std::wstring target = temp.File(L"no-such-folder\\update.ini");
  EXPECT_NE(DownloadTinyFile(server.Url("/file?size=5"), target, ""), kDownloadOk);
  EXPECT_NE(DownloadFile(server.Url("/file?size=5"), target), kDownloadOk);
  EXPECT_FALSE(PathExists(temp.File(L"no-such-folder")));
}

TEST(Downloader, RefusedTransferOptionIsALoggedFailureWithoutAFile) {
  // libcurl refuses a URL above its input limit (8 MB). The transfer must not go out without it,
  // and no empty target may be left behind as if something had arrived.
  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  server.SetHandler(zarvik_test::DownloadRoutes());
  const std::string url = server.Url("/file?size=5&pad=" + std::string(9000000, 'a'));
  TempDir temp;
  const std::wstring target = temp.File(L"update.ini");
  struct Row {
    const char* what;
    int (*download)(const std::string&, const std::wstring&);
    int expected;
    const char* logged;
  } rows[] = {
      {"manifest",
       [](const std::string& u, const std::wstring& t) { return DownloadTinyFile(u, t, ""); },
       kDownloadNoHandle, "cannot prepare the download of "},
      {"package", [](const std::string& u, const std::wstring& t) { return DownloadFile(u, t); },
       kDownloadNoHandle, "cannot prepare the size probe of "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    zarvik_test::LogCapture log;
    EXPECT_EQ(row.download(url, target), row.expected);
    EXPECT_FALSE(PathExists(temp.File(L"update.ini")));
    EXPECT_TRUE(log.HasError(row.logged));
    EXPECT_TRUE(log.HasError("refused"));
  }
  EXPECT_TRUE(server.Requests().empty());
}

TEST(Downloader, ProgressIsPostedAsWholePercentages) {
  struct Case {
    double total, now;
    int percent;
  } cases[] = {
      {200, 1, 0}, {200, 2, 1}, {200, 199, 99}, {200, 200, 100},
      {0, 0, 0},   {0, 50, 0},  {-1, 10, 0},    {std::numeric_limits<double>::quiet_NaN(), 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.total << " " << c.now);
    EXPECT_EQ(zarvik::DownloadPercent(c.total, c.now), c.percent);
  }

  // A package download posts its figures to the progress window, ending at 100.
  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  server.SetHandler(zarvik_test::DownloadRoutes());
  TempDir temp;
  HWND window =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(window);
  ProgressWindow = window;
  EXPECT_EQ(DownloadFile(server.Url("/file?size=3000000"), temp.File(L"p.zip")), kDownloadOk);
  ProgressWindow = nullptr;
  EXPECT_EQ(DownloadedBytes, 3000000.0);
  std::vector<LPARAM> posted;
  MSG msg;
  while (PeekMessageW(&msg, window, WM_UPDATE_PROGRESS, WM_UPDATE_PROGRESS, PM_REMOVE))
    posted.push_back(msg.lParam);
  DestroyWindow(window);
  ASSERT_FALSE(posted.empty());
  EXPECT_EQ(posted.back(), 100);
  for (size_t i = 1; i < posted.size(); ++i)
    EXPECT_GE(posted[i], posted[i - 1]);
}

// A server that stalls ends the attempt with its own code, whether it never answers or stops in
// the middle of the body; the partial package is deleted.
TEST(Downloader, StalledServersEndTheAttempt) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  server.SetHandler(zarvik_test::DownloadRoutes());
  TempDir temp;
  const std::wstring target = temp.File(L"p.zip");
  EXPECT_EQ(DownloadFile(server.Url("/stall"), target), kDownloadTimedOut);
  EXPECT_EQ(DownloadFile(server.Url("/headonly?size=400000"), target), kDownloadTimedOut);
  EXPECT_EQ(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(DownloadTinyFile(server.Url("/stall"), target, ""), kDownloadTimedOut);
}

// Replies above the cap are refused, whether their size is announced or not.
TEST(Downloader, RepliesAboveTheCapAreRefused) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  server.SetHandler(zarvik_test::DownloadRoutes());
  TempDir temp;
  const std::wstring target = temp.File(L"f");
  EXPECT_EQ(DownloadTinyFile(server.Url("/file?size=70000"), target, ""), kDownloadTooLarge);
  EXPECT_EQ(DownloadTinyFile(server.Url("/nolength?size=70000"), target, ""), kDownloadTooLarge);
  EXPECT_EQ(DownloadTinyFile(server.Url("/nolength?size=600"), target, "", 600), kDownloadOk);
  EXPECT_EQ(DownloadFile(server.Url("/file?size=5000"), target, 4999), kDownloadTooLarge);
  EXPECT_EQ(DownloadFile(server.Url("/nolength?size=5000"), target, 4999), kDownloadTooLarge);
  EXPECT_EQ(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(DownloadFile(server.Url("/file?size=5000"), target, 5000), kDownloadOk);
}

// Each try of the package has a deadline from its size: a server that sends a first piece and
// then pauses (shorter than the low-speed floor's 15 s, so only the deadline can end it) ends the
// try at the deadline, logged; the same server without a deadline delivers after its pause.
TEST(Downloader, PackageTransferEndsAtItsDeadline) {
  LoopbackHttpServer server;
  ASSERT_TRUE(server.IsListening());
  zarvik_test::HttpResponseScript slow;
  slow.body = RouteBody(100000);
  slow.headersBeforeStall = true;
  slow.bytesBeforeStall = 30000;
  slow.stallMs = 6000;
  server.SetHandler([slow](const zarvik_test::HttpRequestRecord&) { return slow; });
  TempDir temp;
  const std::wstring target = temp.File(L"p.zip");
  {
    zarvik_test::LogCapture log;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(DownloadFile(server.Url("/slow"), target, kMaxPackageBytes, 1500), kDownloadTimedOut);
    EXPECT_LT(GetTickCount64() - start, 5500u);
    EXPECT_TRUE(log.HasError("passed its deadline of 1500 ms."));
    EXPECT_FALSE(PathExists(target));
  }
  EXPECT_EQ(DownloadFile(server.Url("/slow"), target, kMaxPackageBytes, 0), kDownloadOk);
  EXPECT_EQ(ReadFileBytes(target), RouteBody(100000));
}

TEST(Downloader, TryDeadlineFollowsTheSize) {
  zarvik::PackageDeadlines deadlines;  // 64 KiB/s, 60 s more, 30 min without a size
  struct Case {
    long long size;
    DWORD ms;
  } cases[] = {
      {-1, 30 * 60 * 1000},
      {0, 60000},
      {64 * 1024, 61000},
      {96 * 1024, 61500},
      {20LL * 1024 * 1024, 320000 + 60000},
      {kMaxPackageBytes, 8192000 + 60000},
      {1LL << 50, 0x7FFFFFFF},  // saturates instead of wrapping
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    EXPECT_EQ(zarvik::PackageTryDeadlineMs(c.size, deadlines), c.ms);
  }
}

}  // namespace
