#include "updater/version_check.h"

#include "updater/version_order.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include "base/globals.h"
#include "common/encoding.h"
#include "common/module_path.h"
#include "diagnostics/log.h"
#include "support/log_capture.h"
#include "support/loopback_http_server.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "updater/installer.h"
#include "updater/package_integrity.h"
#include "updater/update_key.h"

using zarvik_test::LoopbackHttpServer;
using zarvik_test::TempDir;

namespace {

TEST(VersionNumbers, ComparedPartByPart) {
  struct Case {
    const wchar_t* newest;
    const wchar_t* local;
    bool newer;
  } cases[] = {
      {L"1.0.6.18", L"1.0.6.18", false},
      {L"1.0.6.19", L"1.0.6.18", true},
      {L"1.1.0.0", L"1.0.256.0", true},  // a weighted sum ranks 1.0.256.0 higher
      {L"1.0.256.0", L"1.1.0.0", false},
      {L"1.0.300.0", L"1.1.0.0", false},
      {L"1.0.0.0.0", L"2.0.0.0", false},  // a fifth part cannot outweigh the first
      {L"2.0.0.0", L"1.0.0.0.0", true},
      {L"1.0.6.18.1", L"1.0.6.18", true},  // a missing part counts as 0
      {L"1.0.6.18.0", L"1.0.6.18", false},
      {L"1.0.7", L"1.0.6.18", true},
      {L"1.0.1.0", L"1.0.0.255", true},
      {L"2.0.0.0", L"1.0.6.18", true},
      {L"1.0.beta.2", L"1.0.0.1", true},  // "beta" counts 0: 1.0.0.2 against 1.0.0.1
      {L"1.0.6.18", L"", true},           // no version record: every positive version is newer
      {L"", L"", false},
      {L"..1...0.6.19.", L"1.0.6.18", true},  // empty pieces are dropped
      {L" 1.+0.6x.18", L"1.0.6.18", false},   // read like _wtoi
      {L"1.0.6.-1", L"1.0.6.0", false},
      // Parts too large for 64 bits saturate instead of wrapping to small or negative values.
      {L"1.99999999999999999999999.0.0", L"1.9223372036854775806.0.0", true},
      {L"1.9223372036854775806.0.0", L"1.99999999999999999999999.0.0", false},
      {L"1.0.0.0.0.0.0.0.0.1", L"1.0.0.0.0.0.0.0.0", true},  // nine parts wrapped the old sum
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << zarvik::WideToAnsi(c.newest) << " vs " << zarvik::WideToAnsi(c.local));
    EXPECT_EQ(IsNewerVersion(c.newest, c.local), c.newer);
  }
  // The logged number keeps its old value.
  EXPECT_EQ(VersionToNumber(L"1.0.6.18"), 4228645365ULL);
  EXPECT_EQ(VersionToNumber(L" 1.+0.6x.18"), 4228645365ULL);
  EXPECT_EQ(VersionToNumber(L"..."), 0ULL);
}

// Deployed manifests use four parts below 255; there the old weighted sum and the part-by-part
// order must agree, so no installed client sees a different answer for them.
TEST(VersionNumbers, FourPartsBelow255AgreeWithTheWeightedSum) {
  const int values[] = {0, 1, 2, 17, 127, 253, 254};
  auto text = [](int a, int b, int c, int d) {
    return std::to_wstring(a) + L"." + std::to_wstring(b) + L"." + std::to_wstring(c) + L"." +
           std::to_wstring(d);
  };
  for (int a : values)
    for (int b : values)
      for (int c : {0, 6, 254})
        for (int d : {0, 18, 254}) {
          const std::wstring left = text(a, b, c, d);
          const std::wstring right = text(b, a, d, c);
          const uint64_t x = VersionToNumber(left), y = VersionToNumber(right);
          const int sum = x < y ? -1 : (x > y ? 1 : 0);
          ASSERT_EQ(zarvik::CompareVersions(left, right), sum)
              << zarvik::WideToAnsi(left) << " vs " << zarvik::WideToAnsi(right);
        }
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
    ASSERT_TRUE(server.IsListening());
    exe = temp.File(L"zarvik.exe");
    ASSERT_TRUE(CopyFileW((zarvik::ModuleDirectory() + L"zarvik.exe").c_str(), exe.c_str(), FALSE));
    CLog::Instance(zarvik::WideToAnsi(temp.File(L"test.log")), false);
    g_editionIndex = 0;
    LocalVersion.clear();
    NewestVersion.clear();
    zarvik::SetUpdatePublicKey("");  // unsigned manifests, as before keys existed
  }
  void TearDown() override {
    CLog::Destroy();
    g_editionIndex = 0;
    zarvik::SetUpdatePublicKey(zarvik::kBuiltInUpdateKeyHex);
    zarvik::SetAcceptedManifest(nullptr);
  }
  void WriteConfig(const std::string& text) {
    ASSERT_TRUE(zarvik_test::WriteFileBytes(temp.File(L"conf.cfg"), text));
  }
  std::string Log() { return zarvik_test::ReadFileBytes(temp.File(L"test.log")); }
  size_t ManifestRequests() {
    size_t count = 0;
    for (const zarvik_test::HttpRequestRecord& request : server.Requests())
      count += request.target.find("/m/update.ini") != std::string::npos;
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
  std::string request = server.Requests().back().requestLine;
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

std::string Hex(const unsigned char* bytes, size_t size) {
  std::string hex(size * 2 + 1, '\0');
  sodium_bin2hex(&hex[0], hex.size(), bytes, size);
  hex.pop_back();
  return hex;
}

// A key pair of the test's own; the signature of `text` under a secret key.
struct TestKey {
  unsigned char pk[crypto_sign_PUBLICKEYBYTES];
  unsigned char sk[crypto_sign_SECRETKEYBYTES];
  TestKey() { crypto_sign_keypair(pk, sk); }
  std::string Public() const { return Hex(pk, sizeof(pk)); }
  std::string Sign(const std::string& text) const {
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(text.data()),
                         text.size(), sk);
    return Hex(signature, sizeof(signature)) + "\n";
  }
};

// "YYYY-MM-DDThh:mm:ssZ" of now plus `seconds`.
std::string UtcIn(int64_t seconds) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks;
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  ticks.QuadPart += seconds * 10000000LL;
  FILETIME then = {ticks.LowPart, ticks.HighPart};
  SYSTEMTIME t;
  FileTimeToSystemTime(&then, &t);
  char text[32];
  snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02dZ", t.wYear, t.wMonth, t.wDay, t.wHour,
           t.wMinute, t.wSecond);
  return text;
}

// The lines that keep a signed manifest from being replayed, frozen or used by the other edition.
std::string Fresh(int serial = 5, int64_t expiresIn = 86400, int edition = 0) {
  return "Serial=" + std::to_string(serial) + "\r\nExpires=" + UtcIn(expiresIn) +
         "\r\nEdition=" + std::to_string(edition) + "\r\n";
}

TEST_F(VersionCheck, WithAKeyOnlyASignedNewerManifestWithAHashAnswersYes) {
  ASSERT_EQ(sodium_init() < 0, false);
  TestKey key, other;
  zarvik::SetUpdatePublicKey(key.Public());
  WriteConfig("[UPDATE]\r\nURL_#0=" + server.Url("/m/update.ini") + "\r\n");
  const std::string fresh = Fresh();
  const std::string hash = "SHA256=" + std::string(64, 'a') + "\r\n" + fresh;
  const std::string newer = "[UPDATE]\r\nVersion=1.0.6.19\r\nURL=http://x/zarvik.zip\r\n" + hash;
  struct Case {
    const char* what;
    std::string manifest;
    std::string signature;  // empty: none served
    bool newer;
  } cases[] = {
      {"signed and newer", newer, key.Sign(newer), true},
      {"unsigned", newer, "", false},
      {"signed by another key", newer, other.Sign(newer), false},
      {"signature of other bytes", newer, key.Sign(newer + " "), false},
      {"signature text cut", newer, key.Sign(newer).substr(0, 100), false},
      {"not a signature", newer, std::string(128, 'z'), false},
      {"no package hash", "[UPDATE]\r\nVersion=1.0.6.19\r\n" + fresh,
       key.Sign("[UPDATE]\r\nVersion=1.0.6.19\r\n" + fresh), false},
      {"malformed hash", "[UPDATE]\r\nVersion=1.0.6.19\r\nSHA256=xyz\r\n" + fresh,
       key.Sign("[UPDATE]\r\nVersion=1.0.6.19\r\nSHA256=xyz\r\n" + fresh), false},
      {"signed but older", "[UPDATE]\r\nVersion=1.0.6.17\r\n" + hash,
       key.Sign("[UPDATE]\r\nVersion=1.0.6.17\r\n" + hash), false},
      {"signed but the same", "[UPDATE]\r\nVersion=1.0.6.18\r\n" + hash,
       key.Sign("[UPDATE]\r\nVersion=1.0.6.18\r\n" + hash), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.SetFile("/m/update.ini", c.manifest);
    if (c.signature.empty())
      server.RemoveFile("/m/update.ini.sig");
    else
      server.SetFile("/m/update.ini.sig", c.signature);
    EXPECT_EQ(zarvik::CheckNewVersionFor(exe, 0), c.newer);
  }
  // The signature was fetched from beside the manifest, with the cache breaker.
  bool fetched = false;
  for (const zarvik_test::HttpRequestRecord& request : server.Requests())
    fetched |= request.requestLine.find("GET /m/update.ini.sig?sid=") != std::string::npos;
  EXPECT_TRUE(fetched);
  EXPECT_NE(Log().find("the update manifest is refused: the manifest's signature is bad"),
            std::string::npos);
}

// A signed manifest that is a replay of an older one, has expired or is for the other edition
// is a failed check: no update, the reason logged. The highest serial accepted is kept beside
// the executable and a lower one is refused from then on.
TEST_F(VersionCheck, ReplayedStaleOrForeignSignedManifestIsRefused) {
  ASSERT_GE(sodium_init(), 0);
  TestKey key;
  zarvik::SetUpdatePublicKey(key.Public());
  WriteConfig("[UPDATE]\r\nURL_#0=" + server.Url("/m/update.ini") + "\r\n");
  auto manifest = [](const std::string& lines) {
    return "[UPDATE]\r\nVersion=1.0.6.19\r\nURL=http://x/zarvik.zip\r\nSHA256=" +
           std::string(64, 'b') + "\r\n" + lines;
  };
  struct Case {
    const char* what;
    std::string lines;
    bool newer;
    const char* logged;      // part of the refusal, empty for an accepted manifest
    const char* serialKept;  // the stored serial afterwards
  } cases[] = {
      {"fresh, serial 7", Fresh(7), true, "", "7"},
      {"the same serial again", Fresh(7), true, "", "7"},
      {"a replayed serial 6", Fresh(6), false, "the manifest's Serial 6 is lower than 7", "7"},
      {"expired an hour ago", Fresh(8, -3600), false, "the manifest expired at ", "7"},
      {"for the other edition", Fresh(8, 86400, 1), false, "the manifest is for edition 1", "7"},
      {"without the three keys", "", false, "the signed manifest lacks Serial, Expires or Edition",
       "7"},
      {"a higher serial", Fresh(12), true, "", "12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zarvik_test::LogCapture log;
    const std::string text = manifest(c.lines);
    server.SetFile("/m/update.ini", text);
    server.SetFile("/m/update.ini.sig", key.Sign(text));
    EXPECT_EQ(zarvik::CheckNewVersionFor(exe, 0), c.newer);
    EXPECT_EQ(zarvik::AcceptedManifest() != nullptr, c.newer);
    if (!c.newer) {
      EXPECT_TRUE(log.HasError(std::string("the update manifest is refused: ") + c.logged));
    }
    EXPECT_EQ(zarvik_test::ReadFileBytes(temp.File(zarvik::kSerialFileName)),
              std::string(c.serialKept) + "\r\n");
  }
  // An unreadable stored serial counts as none, and is replaced by the next accepted one.
  ASSERT_TRUE(zarvik_test::WriteFileBytes(temp.File(zarvik::kSerialFileName), "garbage"));
  const std::string text = manifest(Fresh(3));
  server.SetFile("/m/update.ini", text);
  server.SetFile("/m/update.ini.sig", key.Sign(text));
  EXPECT_TRUE(zarvik::CheckNewVersionFor(exe, 0));
  EXPECT_EQ(zarvik_test::ReadFileBytes(temp.File(zarvik::kSerialFileName)), "3\r\n");
}

// The installer follows the manifest the check accepted. A signed manifest of an older version
// written to disk after the check (as another client start would) is never installed.
TEST_F(VersionCheck, ManifestWrittenToDiskAfterTheCheckIsNotFollowed) {
  ASSERT_GE(sodium_init(), 0);
  TestKey key;
  zarvik::SetUpdatePublicKey(key.Public());
  WriteConfig("[UPDATE]\r\nURL_#0=" + server.Url("/m/update.ini") + "\r\n");
  auto package = [&](const char* exeBytes) {
    const std::wstring zip = temp.File(L"built.zip");
    EXPECT_TRUE(zarvik_test::BuildZip(zip, {zarvik_test::Member("zarvik.exe", exeBytes)}));
    return zarvik_test::ReadFileBytes(zip);
  };
  auto manifest = [&](const char* version, const char* path, const std::string& zip) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(zip.data()), zip.size());
    return std::string("[UPDATE]\r\nVersion=") + version + "\r\nURL=" + server.Url(path) +
           "\r\nSize=" + std::to_string(zip.size()) + "\r\nSHA256=" + Hex(digest, sizeof(digest)) +
           "\r\n" + Fresh(9);
  };
  const std::string newer = package("exe of 1.0.6.19"), older = package("exe of 1.0.6.1");
  server.SetFile("/new/zarvik.zip", newer);
  server.SetFile("/old/zarvik.zip", older);
  const std::string checked = manifest("1.0.6.19", "/new/zarvik.zip", newer);
  server.SetFile("/m/update.ini", checked);
  server.SetFile("/m/update.ini.sig", key.Sign(checked));
  ASSERT_TRUE(zarvik::CheckNewVersionFor(exe, 0));

  const std::string replaced = manifest("1.0.6.1", "/old/zarvik.zip", older);
  ASSERT_TRUE(zarvik_test::WriteFileBytes(temp.File(L"update.ini"), replaced));
  ASSERT_TRUE(zarvik_test::WriteFileBytes(temp.File(L"update.ini.sig"), key.Sign(replaced)));
  EXPECT_EQ(zarvik::RunUpdateIn(nullptr, temp.path(), 0), 0);
  EXPECT_TRUE(zarvik_test::ReadFileBytes(exe) == "exe of 1.0.6.19") << "the checked package";
  for (const zarvik_test::HttpRequestRecord& request : server.Requests())
    EXPECT_EQ(request.target.find("/old/"), std::string::npos) << request.requestLine;
}

// An installation folder whose name is outside the ANSI code page: the manifest, its signature,
// the serial and the package are all written and read there.
TEST_F(VersionCheck, InstallationFolderOutsideTheAnsiCodePage) {
  ASSERT_GE(sodium_init(), 0);
  const std::wstring folder =
      temp.File(L"\u041e\u0431\u043d\u043e\u0432\u043b\u0435\u043d\u0438\u0435 \u66f4\u65b0\\");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring copy = folder + L"zarvik.exe";
  ASSERT_TRUE(CopyFileW(exe.c_str(), copy.c_str(), FALSE));
  ASSERT_TRUE(zarvik_test::WriteFileBytes(
      folder + L"conf.cfg", "[UPDATE]\r\nURL_#0=" + server.Url("/m/update.ini") + "\r\n"));
  const std::wstring zip = temp.File(L"built.zip");
  ASSERT_TRUE(zarvik_test::BuildZip(zip, {zarvik_test::Member("zarvik.exe", "new exe")}));
  const std::string package = zarvik_test::ReadFileBytes(zip);
  server.SetFile("/p/zarvik.zip", package);
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(package.data()),
                     package.size());
  const std::string text = "[UPDATE]\r\nVersion=1.0.6.19\r\nURL=" + server.Url("/p/zarvik.zip") +
                           "\r\nSHA256=" + Hex(digest, sizeof(digest)) + "\r\n" + Fresh(4);
  TestKey key;
  zarvik::SetUpdatePublicKey(key.Public());
  server.SetFile("/m/update.ini", text);
  server.SetFile("/m/update.ini.sig", key.Sign(text));

  EXPECT_TRUE(zarvik::CheckNewVersionFor(copy, 0));
  EXPECT_EQ(zarvik_test::ReadFileBytes(folder + L"update.ini"), text);
  EXPECT_EQ(zarvik_test::ReadFileBytes(folder + L"update.ini.sig"), key.Sign(text));
  EXPECT_EQ(zarvik_test::ReadFileBytes(folder + zarvik::kSerialFileName), "4\r\n");
  EXPECT_EQ(zarvik::RunUpdateIn(nullptr, folder, 0), 0);
  EXPECT_TRUE(zarvik_test::ReadFileBytes(copy) == "new exe") << "the package is installed";
}

TEST_F(VersionCheck, OversizedManifestIsRefused) {
  WriteConfig("[UPDATE]\r\nURL_#0=" + server.Url("/m/update.ini") + "\r\n");
  server.SetFile("/m/update.ini",
                 "[UPDATE]\r\nVersion=9.0.0.0\r\n;" + std::string(200 * 1024, 'x') + "\r\n");
  EXPECT_FALSE(zarvik::CheckNewVersionFor(exe, 0));
  EXPECT_NE(Log().find(" failed and return code ; 63"), std::string::npos);
}

}  // namespace
