#include "updater/version_check.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "diagnostics/log.h"
#include "loopback_server.h"
#include "support/temp_dir.h"

using zarvik_test::LoopbackHttpServer;
using zarvik_test::TempDir;

namespace {

TEST(VersionNumbers, ComparedAsWeightedSums) {
  struct Case {
    const wchar_t* newest;
    const wchar_t* local;
    bool newer;
  } cases[] = {
      {L"1.0.6.18", L"1.0.6.18", false},
      {L"1.0.6.19", L"1.0.6.18", true},
      {L"1.0.7", L"1.0.6.18", false},     // three parts weigh from 255^3 down
      {L"1.0.1.0", L"1.0.0.255", false},  // 255 spills into the next weight: equal numbers
      {L"2.0.0.0", L"1.0.6.18", true},
      {L"1.0.beta.2", L"1.0.0.1", true},  // "beta" counts 0: 1.0.0.2 against 1.0.0.1
      {L"1.0.6.18", L"", true},           // no version record: every positive version is newer
      {L"", L"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << zarvik::WideToAnsi(c.newest) << " vs " << zarvik::WideToAnsi(c.local));
    EXPECT_EQ(IsNewerVersion(c.newest, c.local), c.newer);
  }
  EXPECT_EQ(VersionToNumber(L"1.0.6.18"), 4228645365ULL);
  EXPECT_EQ(VersionToNumber(L"1.0.7"), 16583160ULL);
  EXPECT_EQ(VersionToNumber(L"2.0.0.0"), 8456501250ULL);
  EXPECT_EQ(VersionToNumber(L"..1...0.6.18."), 4228645365ULL);
  EXPECT_EQ(VersionToNumber(L" 1.+0.6x.18"), 4228645365ULL);
  EXPECT_EQ(VersionToNumber(L"1.0.0.255"), VersionToNumber(L"1.0.1.0"));
  EXPECT_EQ(VersionToNumber(L"..."), 0ULL);
}

TEST(VersionNumbers, CacheBreakerHasFourteenDigits) {
  SYSTEMTIME t = {};
  t.wYear = 2026;
  t.wMonth = 3;
  t.wDay = 4;
  t.wHour = 5;
  t.wMinute = 6;
  t.wSecond = 7;
  EXPECT_EQ(zarvik::ManifestRequestUrl(L"http://h/u.ini", t), L"http://h/u.ini?sid=20260304050607");
}

// A folder holding a copy of the client (version 1.0.6.18 unless the build says otherwise) with
// its own "conf.cfg", and a log in the folder.
class VersionCheck : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.ok());
    exe = temp.File(L"zarvik.exe");
    ASSERT_TRUE(CopyFileW((zarvik::ModuleDirectory() + L"zarvik.exe").c_str(), exe.c_str(), FALSE));
    CLog::Instance(zarvik::WideToAnsi(temp.File(L"test.log")), false);
    g_editionIndex = 0;
    LocalVersion.clear();
    NewestVersion.clear();
  }
  void TearDown() override {
    CLog::Destroy();
    g_editionIndex = 0;
  }
  void WriteConfig(const std::string& text) {
    ASSERT_TRUE(zarvik_test::WriteFileBytes(temp.File(L"conf.cfg"), text));
  }
  std::string Log() { return zarvik_test::ReadFileBytes(temp.File(L"test.log")); }
  size_t ManifestRequests() {
    size_t count = 0;
    for (const std::string& line : server.Requests())
      count += line.find("/m/update.ini") != std::string::npos;
    return count;
  }

  LoopbackHttpServer server;
  TempDir temp;
  std::wstring exe;
};

TEST_F(VersionCheck, NewerManifestAnswersYesAndStaysOnDisk) {
  WriteConfig("[UPDATE]\r\nURL_#0=" + server.Url("/m/update.ini") + "\r\n");
  server.SetFile("/m/update.ini", "[UPDATE]\r\nVersion=1.0.6.19\r\nURL=http://x/zarvik.zip\r\n");
  EXPECT_TRUE(zarvik::CheckNewVersionFor(exe, 0));
  EXPECT_EQ(LocalVersion, L"1.0.6.18");
  EXPECT_EQ(NewestVersion, L"1.0.6.19");
  EXPECT_TRUE(zarvik::FileExists(temp.File(L"update.ini")));
  ASSERT_EQ(ManifestRequests(), 1u);
  std::string request = server.Requests().back();
  size_t sid = request.find("?sid=");
  ASSERT_NE(sid, std::string::npos);
  EXPECT_EQ(request.find(' ', sid) - sid, 5u + 14u) << request;

  server.SetFile("/m/update.ini", "[UPDATE]\r\nVersion=1.0.6.18\r\n");
  EXPECT_FALSE(zarvik::CheckNewVersionFor(exe, 0));
  std::string log = Log();
  EXPECT_NE(log.find("[INFO]:local version is : 1.0.6.18"), std::string::npos);
  EXPECT_NE(log.find("[INFO]:the newest version : 1.0.6.19"), std::string::npos);
  EXPECT_NE(log.find("[INFO]:1.0.6.18 1.0.6.18 localVer : 4228645365 newVer : 4228645365"),
            std::string::npos);
}

TEST_F(VersionCheck, EveryRefusalAnswersNo) {
  // The edition's key is missing: no download at all.
  WriteConfig("[UPDATE]\r\nURL_#0=" + server.Url("/m/update.ini") + "\r\n");
  server.SetFile("/m/update.ini", "[UPDATE]\r\nVersion=9.0.0.0\r\n");
  g_editionIndex = 1;
  EXPECT_FALSE(zarvik::CheckNewVersionFor(exe, 0));
  EXPECT_EQ(ManifestRequests(), 0u);
  EXPECT_NE(Log().find("[ERROR]:update configure url is empty."), std::string::npos);
  g_editionIndex = 0;

  // A manifest without the section, and one without "Version".
  for (const char* manifest : {"[OTHER]\r\nVersion=9.0.0.0\r\n", "[UPDATE]\r\nURL=x\r\n"}) {
    SCOPED_TRACE(manifest);
    server.SetFile("/m/update.ini", manifest);
    EXPECT_FALSE(zarvik::CheckNewVersionFor(exe, 0));
  }

  // A manifest that cannot be downloaded is tried three times.
  WriteConfig("[UPDATE]\r\nURL_#0=" + server.Url("/gone/update.ini") + "\r\n");
  size_t before = server.Requests().size();
  EXPECT_FALSE(zarvik::CheckNewVersionFor(exe, 0));
  EXPECT_EQ(server.Requests().size() - before, 3u);
  EXPECT_NE(Log().find(" failed and return code ; 22"), std::string::npos);
}

}  // namespace
