#include "updater/update_manifest.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include "common/encoding.h"
#include "support/log_capture.h"
#include "support/loopback_http_server.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "updater/downloader.h"
#include "updater/installer.h"
#include "updater/package_integrity.h"
#include "updater/version_check.h"

using zarvik_test::LoopbackHttpServer;
using zarvik_test::ReadFileBytes;
using zarvik_test::TempDir;
using zarvik_test::WriteFileBytes;

namespace {

// The manifest's keys are read from memory the way the system's profile reader reads the same
// bytes from a file: the reader itself is the reference.
TEST(ManifestText, KeysReadAsTheProfileReaderReadsTheFile) {
  const char* texts[] = {
      "[UPDATE]\r\nVersion=1.0.6.19\r\nURL=http://h/z.zip\r\n",
      "[update]\r\nversion=2.0\r\nurl2=http://h/2.zip\r\n",
      "  [UPDATE]  \r\n  Version  =  1.0.6.19  \r\n\tURL\t=\thttp://h/t.zip\t\r\n",
      "[UPDATE]\nVersion=\"1.0.6.20\"\nURL='http://h/q.zip'\nURL2=\"http://h/half.zip\n",
      "[UPDATE]\r\nVersion=1.0.0.1\r\nVersion=9.0.0.0\r\n",
      "[OTHER]\r\nVersion=9.9\r\n[UPDATE]\r\nURL=http://h/a\r\n[OTHER2]\r\nVersion=3.0\r\n",
      "[UPDATE]\r\nVersion\r\nURL=\r\n;Serial=5\r\nSerial = 7 \r\n",
      "\xEF\xBB\xBF[UPDATE]\r\nVersion=1.2.3.4\r\nExpires=2030-01-01T00:00:00Z\r\n",
      "[UPDATE]\r\nVersion=1.0.6.19",
      "Version=5.0\r\n[UPDATE]\r\nEdition=1\r\nURL=a=b=c\r\n",
      "[UPDATE]\r\n",
      "",
  };
  const char* keys[] = {"Version", "URL", "URL2", "Serial", "Expires", "Edition"};
  TempDir temp;
  const std::wstring path = temp.File(L"update.ini");
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(WriteFileBytes(path, text));
    for (const char* key : keys) {
      SCOPED_TRACE(key);
      wchar_t expected[260] = {};
      GetPrivateProfileStringW(L"UPDATE", zarvik::AnsiToWide(key).c_str(), L"<none>", expected, 260,
                               path.c_str());
      std::string value;
      const bool found = zarvik::ProfileValue(text, "UPDATE", key, &value);
      EXPECT_EQ(found ? zarvik::Utf8ToWide(value) : std::wstring(L"<none>"),
                std::wstring(expected));
    }
  }
}

TEST(ManifestText, TimesSerialsAndEditions) {
  struct Time {
    const char* text;
    bool ok;
    int64_t seconds;
  } times[] = {
      {"1970-01-01T00:00:00Z", true, 0},
      {"2026-12-11T09:30:15Z", true, 1796981415},
      {"2028-02-29T23:59:59Z", true, 1835481599},
      {"2027-02-29T00:00:00Z", false, 0},  // no leap year
      {"2026-13-01T00:00:00Z", false, 0},
      {"2026-12-11T24:00:00Z", false, 0},
      {"2026-12-11T09:30:15", false, 0},  // not marked as UTC
      {"2026-12-11 09:30:15Z", false, 0},
      {"2026-12-11T09:30:1xZ", false, 0},
      {"+026-12-11T09:30:15Z", false, 0},
      {"1969-12-31T23:59:59Z", false, 0},
      {"", false, 0},
  };
  for (const Time& t : times) {
    SCOPED_TRACE(t.text);
    int64_t seconds = -1;
    EXPECT_EQ(zarvik::ParseManifestTime(t.text, &seconds), t.ok);
    if (t.ok) {
      EXPECT_EQ(seconds, t.seconds);
    }
  }
  struct Serial {
    const char* text;
    bool ok;
    uint64_t value;
  } serials[] = {{"0", true, 0},
                 {"42", true, 42},
                 {"999999999999999999", true, 999999999999999999ULL},
                 {"1000000000000000000", false, 0},
                 {"", false, 0},
                 {"-1", false, 0},
                 {"+1", false, 0},
                 {"1 2", false, 0},
                 {"0x10", false, 0}};
  for (const Serial& s : serials) {
    SCOPED_TRACE(s.text);
    uint64_t value = 7;
    EXPECT_EQ(zarvik::ParseManifestSerial(s.text, &value), s.ok);
    if (s.ok) {
      EXPECT_EQ(value, s.value);
    }
  }
  int edition = -1;
  EXPECT_TRUE(zarvik::ParseManifestEdition("1", &edition));
  EXPECT_EQ(edition, 1);
  for (const char* bad : {"", "2", "01", "-0", "1 "})
    EXPECT_FALSE(zarvik::ParseManifestEdition(bad, &edition)) << bad;
}

TEST(ManifestText, FreshnessRulesRefuseReplayedStaleAndForeignManifests) {
  const int64_t now = 1796981415;  // 2026-12-11T09:30:15Z
  zarvik::FreshnessContext context;
  context.storedSerial = 20;
  context.now = now;
  context.edition = 0;
  struct Case {
    const char* what;
    const char* text;
    bool ok;
    const char* problem;  // part of the refusal
  } cases[] = {
      {"fresh, a higher serial", "Serial=21\nExpires=2026-12-12T00:00:00Z\nEdition=0\n", true, ""},
      {"the same serial again", "Serial=20\nExpires=2026-12-12T00:00:00Z\nEdition=0\n", true, ""},
      {"expiring this second", "Serial=20\nExpires=2026-12-11T09:30:15Z\nEdition=0\n", true, ""},
      {"a lower serial", "Serial=19\nExpires=2026-12-12T00:00:00Z\nEdition=0\n", false,
       "Serial 19 is lower than 20"},
      {"expired", "Serial=21\nExpires=2026-12-11T09:30:14Z\nEdition=0\n", false,
       "expired at 2026-12-11T09:30:14Z"},
      {"the other edition", "Serial=21\nExpires=2026-12-12T00:00:00Z\nEdition=1\n", false,
       "for edition 1"},
      {"no serial", "Expires=2026-12-12T00:00:00Z\nEdition=0\n", false, "lacks"},
      {"no expiry", "Serial=21\nEdition=0\n", false, "lacks"},
      {"no edition", "Serial=21\nExpires=2026-12-12T00:00:00Z\n", false, "lacks"},
      {"serial not a number", "Serial=21a\nExpires=2026-12-12T00:00:00Z\nEdition=0\n", false,
       "Serial is malformed"},
      {"expiry in another form", "Serial=21\nExpires=12/12/2026\nEdition=0\n", false,
       "Expires is malformed"},
      {"edition not 0 or 1", "Serial=21\nExpires=2026-12-12T00:00:00Z\nEdition=lm\n", false,
       "Edition is malformed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zarvik::ManifestText text;
    ASSERT_TRUE(zarvik::ParseManifestText(std::string("[UPDATE]\n") + c.text, &text));
    uint64_t serial = 0;
    std::string problem;
    EXPECT_EQ(zarvik::CheckManifestFreshness(text, context, &serial, &problem), c.ok) << problem;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
  }
}

// An installation folder, a package server and the record the installer is handed.
class InstallFromRecord : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.IsListening());
    dir = temp.File(L"inst\\");
    CreateDirectoryW(dir.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(dir + L"zarvik.exe", "old exe"));
    saved = LocalVersion;
    LocalVersion = L"1.0.6.18";
    const std::wstring zip = temp.File(L"built.zip");
    ASSERT_TRUE(zarvik_test::BuildZip(zip, {zarvik_test::Member("zarvik.exe", "new exe")}));
    server.SetFile("/new/zarvik.zip", ReadFileBytes(zip));
    record.version = L"1.0.6.19";
    record.url = zarvik::AnsiToWide(server.Url("/new/zarvik.zip"));
  }
  void TearDown() override {
    LocalVersion = saved;
    zarvik::SetPackageDeadlines(zarvik::PackageDeadlines());
  }

  LoopbackHttpServer server;
  TempDir temp;
  std::wstring dir, saved;
  zarvik::UpdateManifest record;
};

TEST_F(InstallFromRecord, VersionIsCheckedAgainBeforeAnyDownload) {
  struct Case {
    const wchar_t* version;
    int result;
  } cases[] = {
      {L"1.0.6.17", kUpdateManifestRefused},
      {L"1.0.6.18", kUpdateManifestRefused},
      {L"", kUpdateManifestRefused},
      {L"1.0.6.19", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(zarvik::WideToAnsi(c.version));
    zarvik_test::LogCapture log;
    record.version = c.version;
    const size_t before = server.Requests().size();
    EXPECT_EQ(zarvik::RunUpdateIn(nullptr, dir, &record, 0), c.result);
    if (c.result != 0) {
      EXPECT_EQ(server.Requests().size(), before) << "nothing is downloaded";
      EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "old exe");
      EXPECT_TRUE(log.HasError("the update manifest is refused: its version "));
    } else {
      EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "new exe");
    }
  }
  // Without an accepted manifest there is nothing to install.
  EXPECT_EQ(zarvik::RunUpdateIn(nullptr, dir, nullptr, 0), kUpdateNoManifest);
}

TEST_F(InstallFromRecord, AllTriesTogetherEndAtTheCourseDeadline) {
  // Every package request gets its headers and a first piece, then nothing for a long while:
  // each try ends at its own deadline, and the tries stop when the course's deadline has passed.
  zarvik_test::HttpResponseScript slow;
  slow.body = std::string(100000, 'z');
  slow.headersBeforeStall = true;
  slow.bytesBeforeStall = 1000;
  slow.stallMs = 20000;
  server.SetHandler([slow](const zarvik_test::HttpRequestRecord&) { return slow; });
  record.url = zarvik::AnsiToWide(server.Url("/slow/zarvik.zip"));
  record.url2 = record.url;
  zarvik::PackageDeadlines deadlines;
  deadlines.bytesPerSecond = 1 << 30;
  deadlines.slackMs = 1000;
  deadlines.withoutSizeMs = 1000;
  deadlines.courseMs = 2500;
  zarvik::SetPackageDeadlines(deadlines);
  zarvik_test::LogCapture log;
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(zarvik::RunUpdateIn(nullptr, dir, &record, 0), kDownloadTimedOut);
  const ULONGLONG took = GetTickCount64() - start;
  EXPECT_LT(took, 15000u) << "the long stall of the server was not waited out";
  size_t transfers = 0;  // each try asks for the size, then for the package
  for (const zarvik_test::HttpRequestRecord& request : server.Requests())
    transfers += request.target.find("/slow/zarvik.zip") != std::string::npos;
  EXPECT_LT(transfers, 10u) << "fewer than five tries fit into the course's deadline";
  EXPECT_TRUE(log.HasError("passed its deadline of 1000 ms"));
  EXPECT_TRUE(log.HasError("passed the update's deadline of 2500 ms, no more tries."));
  EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "old exe");
}

}  // namespace
