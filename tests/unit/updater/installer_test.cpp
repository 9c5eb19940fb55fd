#include "updater/installer.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <map>
#include <vector>

#include "base/game_notify.h"
#include "common/encoding.h"
#include "common/scoped_handle.h"
#include "support/file_tree.h"
#include "support/loopback_http_server.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "updater/downloader.h"
#include "updater/package_integrity.h"
#include "updater/update_key.h"
#include "updater/update_messages.h"
#include "updater/update_steps.h"
#include "updater/version_check.h"
#include "updater/zip_reader.h"

using zarvik_test::FileTree;
using zarvik_test::LoopbackHttpServer;
using zarvik_test::Member;
using zarvik_test::ReadFileBytes;
using zarvik_test::TempDir;
using zarvik_test::TreeOf;
using zarvik_test::WriteFileBytes;
using zarvik_test::ZipMember;

namespace {

std::vector<std::string> g_steps;
bool RecordStep(const char* step, const std::wstring& path) {
  g_steps.push_back(std::string(step) + " " + zarvik::WideToUtf8(path));
  return true;
}

bool Exists(const std::wstring& path) {
  return zarvik_test::PathExists(path);
}

// An installation folder with a manifest, a package on a loopback server and a message window
// that collects what the procedure posts.
class Installer : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.IsListening());
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    oldCwd = cwd;
    dir = temp.File(L"inst\\");
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW((dir + L"lib").c_str(), nullptr);
    Put(L"zarvik.exe", "old exe");
    Put(L"keep.txt", "not in the package");
    Put(L"lib\\a.dll", "old a");
    Put(L"lib\\a.dll.old", "stale from an earlier update");
    Put(L"zarvik.bin", "left-over");
    Put(L"duilib.dll.org", "left-over");
    WriteManifest("/pkg/zarvik.zip", "");
    window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    zarvik::SetUpdatePublicKey("");  // unsigned manifests unless a test sets a key
    LocalVersion.clear();
  }
  void TearDown() override {
    zarvik::SetUpdatePublicKey(zarvik::kBuiltInUpdateKeyHex);
    zarvik::SetAcceptedManifest(nullptr);
    DestroyWindow(window);
    SetCurrentDirectoryW(oldCwd.c_str());
  }
  void Put(const std::wstring& name, const std::string& data) {
    ASSERT_TRUE(WriteFileBytes(dir + name, data));
  }
  void WriteManifest(const std::string& path1,
                     const std::string& path2,
                     const std::string& extra = "") {
    std::string text = "[UPDATE]\r\nVersion=1.0.6.19\r\n" + extra;
    text += "URL=" + (path1.empty() ? "" : server.Url(path1)) + "\r\n";
    text += "URL2=" + (path2.empty() ? "" : server.Url(path2)) + "\r\n";
    Put(L"update.ini", text);
    // The installer follows what the version check accepted from these bytes, not the file.
    zarvik::UpdateManifest manifest;
    std::string problem;
    const bool read = zarvik::ReadManifest(text, "", "", {}, &manifest, &problem);
    zarvik::SetAcceptedManifest(read ? &manifest : nullptr);
  }
  void ServePackage(const std::vector<ZipMember>& members) {
    std::wstring zip = temp.File(L"built.zip");
    ASSERT_TRUE(zarvik_test::BuildZip(zip, members));
    server.SetFile("/pkg/zarvik.zip", ReadFileBytes(zip));
  }
  std::vector<ZipMember> NewVersion() {
    return {Member("zarvik.exe", "new exe"), Member("lib/", ""), Member("lib/a.dll", "new a"),
            Member("new.txt", "brand new"), Member("..\\..\\evil.dll", "lands inside")};
  }
  std::vector<MSG> Posted() {
    std::vector<MSG> posted;
    MSG msg;
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE))
      posted.push_back(msg);
    return posted;
  }
  // The installation after a failed update, without the package and the scratch folder it may
  // leave for the next start to remove.
  FileTree TreeWithoutLeftOvers() {
    FileTree tree = TreeOf(dir);
    tree.erase(L"zarvik.zip");
    for (auto it = tree.begin(); it != tree.end();)
      it = it->first.rfind(L"Temp\\", 0) == 0 ? tree.erase(it) : std::next(it);
    return tree;
  }
  // The installation as it was before the update, minus the left-overs removed up front.
  FileTree Untouched() {
    return {{L"zarvik.exe", "old exe"},
            {L"keep.txt", "not in the package"},
            {L"lib\\", ""},
            {L"lib\\a.dll", "old a"},
            {L"lib\\a.dll.old", "stale from an earlier update"},
            {L"update.ini", ReadFileBytes(dir + L"update.ini")}};
  }

  LoopbackHttpServer server;
  TempDir temp;
  std::wstring dir, oldCwd;
  HWND window = nullptr;
};

TEST_F(Installer, NewFilesInPlaceOldOnesSetAside) {
  ServePackage(NewVersion());
  ASSERT_EQ(zarvik::RunUpdateIn(window, dir, 0), 0);
  FileTree expected = {
      {L"zarvik.exe", "new exe"},
      {L"zarvik.exe.old", "old exe"},
      {L"keep.txt", "not in the package"},
      {L"lib\\", ""},
      {L"lib\\a.dll", "new a"},
      {L"lib\\a.dll.old", "old a"},  // the stale copy was replaced by the current file
      {L"new.txt", "brand new"},     // did not exist: copied without a rename
      {L"evil.dll", "lands inside"},
      {L"update.ini", ReadFileBytes(dir + L"update.ini")},
  };
  // The journal stays, committed, until the new version has started once.
  FileTree tree = TreeOf(dir);
  const std::string journal = tree[zarvik::kJournalName];
  EXPECT_EQ(journal.rfind("zarvik update journal\n", 0), 0u) << journal;
  EXPECT_EQ(journal.substr(journal.size() - 12), "C\tcommitted\n") << journal;
  tree.erase(zarvik::kJournalName);
  EXPECT_EQ(tree, expected);  // no Temp, no package, no left-overs
  EXPECT_FALSE(Exists(temp.File(L"evil.dll")));
  std::vector<MSG> posted = Posted();
  ASSERT_FALSE(posted.empty());
  EXPECT_EQ(posted.back().message, WM_UPDATE_INSTALLING);

  // The next start removes the set-aside files, wherever they are and whatever follows ".old".
  Put(L"readme.older.txt", "x");
  DeleteOldFiles(dir.substr(0, dir.size() - 1));
  expected.erase(L"zarvik.exe.old");
  expected.erase(L"lib\\a.dll.old");
  EXPECT_EQ(TreeOf(dir), expected);  // backups, journal and the other ".old" file are gone
}

TEST_F(Installer, LockedTargetUndoesEveryRename) {
  ServePackage(NewVersion());
  // Open without delete sharing: the file cannot be renamed.
  zarvik::ScopedFileHandle locked(CreateFileW((dir + L"lib\\a.dll").c_str(), GENERIC_READ,
                                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(locked);
  int result = zarvik::RunUpdateIn(window, dir, 0);
  locked.Reset();
  EXPECT_EQ(result, kUpdateSetAsideFailed);
  FileTree tree = TreeWithoutLeftOvers();
  // The stale ".old" of the locked file was deleted before its rename was tried.
  FileTree expected = Untouched();
  expected.erase(L"lib\\a.dll.old");
  EXPECT_EQ(tree, expected);
}

TEST_F(Installer, FileWhereAFolderIsNeededChangesNothing) {
  // A file stands where the package needs a folder: "sub\\x.dll" cannot go in. That is seen
  // before any rename, so even the stale backup stays.
  std::vector<ZipMember> members = NewVersion();
  members.push_back(Member("sub/x.dll", "x"));
  ServePackage(members);
  Put(L"sub", "a file, not a folder");
  EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), kUpdateCopyFailed);
  FileTree tree = TreeOf(dir);
  tree.erase(L"zarvik.zip");
  FileTree expected = Untouched();
  expected[L"sub"] = "a file, not a folder";
  EXPECT_EQ(tree, expected);  // no Temp, no journal
}

TEST_F(Installer, LeftOversOfAFailedRunAreNeverInstalled) {
  // An earlier run left a whole unpacked tree in "Temp"; this package holds the executable only.
  CreateDirectoryW((dir + L"Temp").c_str(), nullptr);
  CreateDirectoryW((dir + L"Temp\\lib").c_str(), nullptr);
  Put(L"Temp\\lib\\a.dll", "from a failed update");
  Put(L"Temp\\keep.txt", "from a failed update");
  ServePackage({Member("zarvik.exe", "new exe")});
  ASSERT_EQ(zarvik::RunUpdateIn(window, dir, 0), 0);
  EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "new exe");
  EXPECT_EQ(ReadFileBytes(dir + L"lib\\a.dll"), "old a");
  EXPECT_EQ(ReadFileBytes(dir + L"keep.txt"), "not in the package");
  EXPECT_FALSE(Exists(dir + L"Temp"));
}

TEST_F(Installer, ScratchFolderThatCannotBeMadeWritesNothing) {
  // A file named "Temp" that is held open cannot be replaced by the scratch folder. Nothing may
  // then be unpacked anywhere else, the current directory least of all.
  TempDir cwd;
  SetCurrentDirectoryW(cwd.path().c_str());
  Put(L"Temp", "held open");
  zarvik::ScopedFileHandle held(CreateFileW((dir + L"Temp").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  ServePackage(NewVersion());
  int result = zarvik::RunUpdateIn(window, dir, 0);
  held.Reset();
  EXPECT_EQ(result, kUpdateScratchFailed);
  EXPECT_TRUE(TreeOf(cwd.path()).empty());
  FileTree tree = TreeOf(dir);
  tree.erase(L"zarvik.zip");
  FileTree expected = Untouched();
  expected[L"Temp"] = "held open";
  EXPECT_EQ(tree, expected);
}

TEST_F(Installer, BadPackagesLeaveTheInstallationAlone) {
  struct Case {
    const char* what;
    std::vector<ZipMember> members;
    std::string raw;  // served instead of a built archive when not empty
    int result;
  } cases[] = {
      {"climbing member", {Member("zarvik.exe", "new"), Member("../x.dll", "x")}, "", ZR_ARGS},
      {"stream", {Member("zarvik.exe", "new"), Member("zarvik.exe:x", "x")}, "", ZR_ARGS},
      {"device", {Member("zarvik.exe", "new"), Member("lib/com1.dll", "x")}, "", ZR_ARGS},
      {"trailing dot", {Member("zarvik.exe", "new"), Member("keep.txt.", "x")}, "", ZR_ARGS},
      {"look-alike dots",
       {Member("zarvik.exe", "new"), Member("\xef\xbc\x8e\xef\xbc\x8e\xef\xbc\xbcx.dll", "x")},
       "",
       ZR_ARGS},
      {"the journal",
       {Member("zarvik.exe", "new"), Member("update.journal", "R\t..")},
       "",
       ZR_ARGS},
      {"the scratch folder", {Member("zarvik.exe", "new"), Member("Temp/x.dll", "x")}, "", ZR_ARGS},
      {"same name twice",
       {Member("zarvik.exe", "new"), Member("ZARVIK.EXE", "other")},
       "",
       ZR_ARGS},
      {"file and folder", {Member("lib", "a file"), Member("lib/a.dll", "x")}, "", ZR_ARGS},
      {"too long", {Member("zarvik.exe", "new"), Member(std::string(250, 'n'), "x")}, "", ZR_ARGS},
      {"no entries",
       {},
       std::string("stub") + std::string("PK\x05\x06", 4) + std::string(18, '\0'),
       kUpdateEmptyPackage},
      {"not an archive", {}, std::string(500, 'j'), ZR_NOFILE},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.raw.empty())
      ServePackage(c.members);
    else
      server.SetFile("/pkg/zarvik.zip", c.raw);
    g_steps.clear();
    zarvik::SetUpdateStepHook(&RecordStep);
    EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), c.result);
    zarvik::SetUpdateStepHook(nullptr);
    // Refused before the first member was written.
    for (const std::string& step : g_steps)
      EXPECT_EQ(step.find("write member"), std::string::npos) << step;
    EXPECT_EQ(TreeWithoutLeftOvers(), Untouched());
    EXPECT_FALSE(Exists(temp.File(L"x.dll")));
  }
  ZipMember secret = Member("zarvik.exe", "new");
  secret.password = "pw";
  ServePackage({secret});
  EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), ZR_PASSWORD);
  EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "old exe");
}

TEST_F(Installer, DownloadRetriesSwitchToTheSecondUrl) {
  WriteManifest("", "/missing/zarvik.zip");
  Posted();
  EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), kDownloadHttpError);
  // Attempts 1 and 2 go to the empty first URL and never reach the server; 3 to 5 use "URL2".
  size_t second = 0;
  for (const zarvik_test::HttpRequestRecord& request : server.Requests())
    second += request.target.find("/missing/zarvik.zip?sid=") != std::string::npos;
  EXPECT_EQ(second, 6u) << "each attempt asks for the size first, then for the package";
  std::vector<WPARAM> notices;
  for (const MSG& msg : Posted())
    if (msg.message == GAME_NOTIFY_UPDATE_FAIL)
      notices.push_back(msg.wParam);
  EXPECT_EQ(notices,
            (std::vector<WPARAM>{0x857E0001, 0x857E0002, 0x857E0003, 0x857E0004, 0x857E0005}));
  EXPECT_FALSE(Exists(dir + L"zarvik.zip"));
  EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "old exe");

  // A manifest without package URLs, and none at all.
  WriteManifest("", "");
  EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), kUpdateNoManifest);
  zarvik::SetAcceptedManifest(nullptr);
  EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), kUpdateNoManifest);
}

TEST_F(Installer, InterruptedInstallationIsRolledBackAtTheNextStart) {
  // The state an installation killed half-way leaves: the executable set aside and already
  // replaced, lib\a.dll set aside but not yet copied, one new file copied.
  Put(L"zarvik.exe.old", "old exe");
  Put(L"zarvik.exe", "new exe, half writ");
  DeleteFileW((dir + L"lib\\a.dll.old").c_str());
  MoveFileW((dir + L"lib\\a.dll").c_str(), (dir + L"lib\\a.dll.old").c_str());
  Put(L"added.txt", "new file");
  Put(L"other.dll.old", "from an earlier, finished update");
  Put(zarvik::kJournalName,
      "zarvik update journal\nN\tadded.txt\nN\tnot-yet-copied.txt\nR\tzarvik.exe\nR\tlib\\a.dll");
  DeleteOldFiles(dir.substr(0, dir.size() - 1));
  FileTree expected = Untouched();
  expected.erase(L"lib\\a.dll.old");
  expected[L"zarvik.bin"] = "left-over";  // start-up removes these separately
  expected[L"duilib.dll.org"] = "left-over";
  EXPECT_EQ(TreeOf(dir), expected);
}

std::string Sha256Hex(const std::string& data) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(data.data()), data.size());
  char hex[crypto_hash_sha256_BYTES * 2 + 1];
  sodium_bin2hex(hex, sizeof(hex), digest, sizeof(digest));
  return hex;
}

TEST_F(Installer, PackageThatDiffersFromTheManifestIsNeverUnpacked) {
  ASSERT_GE(sodium_init(), 0);
  std::wstring built = temp.File(L"built.zip");
  ASSERT_TRUE(zarvik_test::BuildZip(built, NewVersion()));
  const std::string good = ReadFileBytes(built);
  // The same archive with one member's data swapped for other data of the same length.
  std::vector<ZipMember> swapped = NewVersion();
  swapped[0].data = "old exe";
  ASSERT_TRUE(zarvik_test::BuildZip(built, swapped));
  const std::string other = ReadFileBytes(built);
  ASSERT_EQ(other.size(), good.size());
  std::string flipped = good;
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 1);
  const std::string size = "Size=" + std::to_string(good.size()) + "\r\n";
  const std::string hash = "SHA256=" + Sha256Hex(good) + "\r\n";
  struct Case {
    const char* what;
    std::string served;
    std::string extra;  // manifest lines
    int result;
  } cases[] = {
      {"a flipped byte", flipped, size + hash, kDownloadMismatch},
      {"a member swapped, same length", other, size + hash, kDownloadMismatch},
      {"longer than its size", good + "x", size + hash, kDownloadMismatch},
      {"shorter than its size", good.substr(1), size, kDownloadMismatch},
      {"hash only, flipped", flipped, hash, kDownloadMismatch},
      {"malformed hash: refused by the check", good, "SHA256=12345\r\n", kUpdateNoManifest},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.SetFile("/pkg/zarvik.zip", c.served);
    WriteManifest("/pkg/zarvik.zip", "/pkg/zarvik.zip", c.extra);
    Posted();
    EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), c.result);
    FileTree expected = Untouched();
    expected[L"zarvik.bin"] = "left-over";  // removed only after a good download
    expected[L"duilib.dll.org"] = "left-over";
    EXPECT_EQ(TreeOf(dir), expected);  // not even a package or "Temp" is left
    int retries = 0;
    for (const MSG& msg : Posted())
      retries += msg.message == GAME_NOTIFY_UPDATE_FAIL;
    EXPECT_EQ(retries, c.result == kDownloadMismatch ? 5 : 0);  // retried like other failures
  }
  server.SetFile("/pkg/zarvik.zip", good);
  WriteManifest("/pkg/zarvik.zip", "", size + hash);
  EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), 0);
  EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "new exe");
}

}  // namespace
