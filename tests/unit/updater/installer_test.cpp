#include "updater/installer.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <map>
#include <vector>

#include "base/game_notify.h"
#include "common/encoding.h"
#include "common/scoped_handle.h"
#include "support/file_tree.h"
#include "support/log_capture.h"
#include "support/loopback_http_server.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "updater/downloader.h"
#include "updater/package_integrity.h"
#include "updater/update_journal.h"
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
  // The journal stays, committed and whole, until the new version has started once.
  FileTree tree = TreeOf(dir);
  const std::string journal = tree[zarvik::kJournalName];
  EXPECT_EQ(journal.rfind("zarvik update journal 2\n", 0), 0u) << journal;
  EXPECT_EQ(journal.substr(journal.size() - 18), "C\tcommitted\nE\tend\n") << journal;
  tree.erase(zarvik::kJournalName);
  EXPECT_EQ(tree, expected);  // no Temp, no package, no left-overs
  EXPECT_FALSE(Exists(temp.File(L"evil.dll")));
  std::vector<MSG> posted = Posted();
  ASSERT_FALSE(posted.empty());
  EXPECT_EQ(posted.back().message, WM_UPDATE_INSTALLING);

  // The next start removes the backups the journal names, wherever they are, and nothing else.
  CreateDirectoryW((dir + L"fonts").c_str(), nullptr);
  for (const wchar_t* name : {L"readme.older.txt", L"fonts\\title.oldstyle.ttf", L"notes.old"}) {
    Put(name, "the player's");
    expected[name] = "the player's";
  }
  expected[L"fonts\\"] = "";
  DeleteOldFiles(dir.substr(0, dir.size() - 1));
  expected.erase(L"zarvik.exe.old");
  expected.erase(L"lib\\a.dll.old");
  EXPECT_EQ(TreeOf(dir), expected);  // backups and journal are gone
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
      // A backup's name would take the place of the real backup.
      {"a backup's name",
       {Member("lib/a.dll", "new a"), Member("lib/a.dll.old", "x"), Member("zarvik.exe", "new")},
       "",
       ZR_ARGS},
      {"a backup's name in capitals",
       {Member("zarvik.exe", "new"), Member("x.dll.OLD", "x")},
       "",
       ZR_ARGS},
      {"an undone file's name",
       {Member("zarvik.exe", "new"), Member("zarvik.exe.old.undone", "x")},
       "",
       ZR_ARGS},
      {"a backup folder", {Member("zarvik.exe", "new"), Member("lib.old/x.dll", "x")}, "", ZR_ARGS},
      {"short-name alias", {Member("zarvik.exe", "new"), Member("UPDATE~1.JOU", "x")}, "", ZR_ARGS},
      {"short-name alias in a folder",
       {Member("zarvik.exe", "new"), Member("LIB~1/x.dll", "x")},
       "",
       ZR_ARGS},
      {"the stored serial",
       {Member("zarvik.exe", "new"), Member("update.serial", "9")},
       "",
       ZR_ARGS},
      {"the journal's temporary name",
       {Member("zarvik.exe", "new"), Member("update.journal.new", "x")},
       "",
       ZR_ARGS},
      {"the set-aside journal",
       {Member("zarvik.exe", "new"), Member("Update.Journal.Stuck", "x")},
       "",
       ZR_ARGS},
      // Names the file system takes for one, though they differ beyond ASCII.
      {"accented letters in two cases",
       {Member("zarvik.exe", "new"), Member("skin/\xc3\x89.png", "E"),
        Member("skin/\xc3\xa9.png", "e")},
       "",
       ZR_ARGS},
      {"cyrillic file and folder",
       {Member("zarvik.exe", "new"), Member("\xd0\x80", "file"), Member("\xd1\x90/x", "x")},
       "",
       ZR_ARGS},
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
  Put(L"other.dll.old", "no journal names it");
  // As the earlier clients wrote it: no end line, the last line break written.
  Put(zarvik::kJournalName,
      "zarvik update journal\nN\tadded.txt\nN\tnot-yet-copied.txt\nR\tzarvik.exe\nR\tlib\\a.dll\n");
  DeleteOldFiles(dir.substr(0, dir.size() - 1));
  FileTree expected = Untouched();
  expected.erase(L"lib\\a.dll.old");
  expected[L"other.dll.old"] = "no journal names it";
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

// --- The journal ------------------------------------------------------------------------------

std::string Step(const char* step, const std::wstring& path) {
  return std::string(step) + " " + zarvik::WideToUtf8(path);
}

TEST_F(Installer, HalfWrittenJournalsAreDiscardedAndBlockNothing) {
  // What a kill or a power cut leaves while the journal is written: nothing was renamed yet.
  CreateDirectoryW((dir + L"skin").c_str(), nullptr);
  Put(L"skin\\main.xml", "old skin");
  Put(L"duilib.dll", "old duilib");
  const std::string header = "zarvik update journal\n";
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"a new file's name cut", header + "N\tskin\\new.png\nN\tskin"},
      {"a replaced file's name cut", header + "R\tduilib.dll\nR\tskin\\ma"},
      {"zero-filled tail", header + "R\tduilib.dll\n" + std::string(16, '\0')},
      {"no end line", "zarvik update journal 2\nR\tduilib.dll\nR\tskin\\main.xml\n"},
  };
  ServePackage(NewVersion());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FileTree before = TreeOf(dir);
    Put(zarvik::kJournalName, c.text);
    zarvik_test::LogCapture log;
    const zarvik::EarlierUpdate settled = zarvik::SettleEarlierUpdate(dir);
    EXPECT_NE(settled, zarvik::EarlierUpdate::kStuck);
    EXPECT_NE(settled, zarvik::EarlierUpdate::kRolledBack);
    EXPECT_TRUE(log.HasError("journal is incomplete"));
    EXPECT_EQ(TreeOf(dir), before);  // the skin folder is where it was; the journal is gone
    // A second time, and in the update that follows, it blocks nothing.
    Put(zarvik::kJournalName, c.text);
    EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), 0);
    EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "new exe");
    // Back to the old version for the next row.
    zarvik::CleanUpAfterUpdate(dir);
    Put(L"zarvik.exe", "old exe");
    Put(L"lib\\a.dll", "old a");
    for (const wchar_t* name : {L"new.txt", L"evil.dll"})
      DeleteFileW((dir + name).c_str());
  }
}

TEST_F(Installer, JournalThatCannotBeSettledBlocksOnlyTheUpdateThatFindsIt) {
  ServePackage(NewVersion());
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"unsafe name", "zarvik update journal 2\nR\t..\\outside.dll\nE\tend\n"},
      {"not a journal", "something else\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Put(L"lib\\a.dll.old", "a backup");
    Put(zarvik::kJournalName, c.text);
    // At a normal start it stays, with the backups.
    zarvik::CleanUpAfterUpdate(dir);
    EXPECT_EQ(ReadFileBytes(dir + zarvik::kJournalName), c.text);
    EXPECT_TRUE(Exists(dir + L"lib\\a.dll.old"));
    // The update that finds it fails (and is reported); it is set aside for a look at it.
    EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), kUpdateEarlierUnfinished);
    EXPECT_FALSE(Exists(dir + zarvik::kJournalName));
    EXPECT_EQ(ReadFileBytes(dir + L"update.journal.stuck"), c.text);
    EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "old exe");
    // The next one installs.
    EXPECT_EQ(zarvik::RunUpdateIn(window, dir, 0), 0);
    EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "new exe");
    zarvik::CleanUpAfterUpdate(dir);
    Put(L"zarvik.exe", "old exe");
  }
}

std::vector<std::string> g_journalSeen;
std::wstring g_journalPath;
bool RecordStepAndJournal(const char* step, const std::wstring& path) {
  RecordStep(step, path);
  // What lies at the journal's name before every step.
  g_journalSeen.push_back(Exists(g_journalPath) ? ReadFileBytes(g_journalPath) : "-");
  return true;
}

TEST_F(Installer, JournalIsWholeWheneverItIsThereAndTheExecutableGoesLast) {
  ServePackage(NewVersion());
  const std::wstring package = dir + L"zarvik.zip";
  ASSERT_TRUE(WriteFileBytes(package, ReadFileBytes(temp.File(L"built.zip"))));
  g_steps.clear();
  g_journalSeen.clear();
  g_journalPath = dir + zarvik::kJournalName;
  zarvik::SetUpdateStepHook(&RecordStepAndJournal);
  ASSERT_EQ(zarvik::InstallPackage(dir, package), 0);
  zarvik::SetUpdateStepHook(nullptr);
  const std::wstring temporary = dir + L"update.journal.new";
  const auto at = [&](const std::string& step) {
    return std::find(g_steps.begin(), g_steps.end(), step) - g_steps.begin();
  };
  const ptrdiff_t create = at(Step("create journal", temporary));
  const ptrdiff_t write = at(Step("write journal", temporary));
  const ptrdiff_t place = at(Step("place journal", dir + zarvik::kJournalName));
  const ptrdiff_t exeAside = at(Step("set aside", dir + L"zarvik.exe.old"));
  const ptrdiff_t commit = at(Step("commit journal", dir + zarvik::kJournalName));
  ASSERT_LT(commit, static_cast<ptrdiff_t>(g_steps.size())) << testing::PrintToString(g_steps);
  EXPECT_TRUE(create < write && write < place) << testing::PrintToString(g_steps);
  // Every rename comes after the journal is in place; the executable's two renames are the last
  // ones, back to back, before the commit.
  std::vector<std::string> renames;
  for (size_t i = 0; i < g_steps.size(); ++i) {
    if (g_steps[i].rfind("set aside ", 0) == 0 || g_steps[i].rfind("move in ", 0) == 0) {
      EXPECT_GT(static_cast<ptrdiff_t>(i), place) << g_steps[i];
      renames.push_back(g_steps[i]);
    }
  }
  ASSERT_GE(renames.size(), 2u);
  EXPECT_EQ(renames[renames.size() - 2], Step("set aside", dir + L"zarvik.exe.old"));
  EXPECT_EQ(renames.back(), Step("move in", dir + L"zarvik.exe"));
  EXPECT_EQ(g_steps[exeAside + 1], renames.back());
  EXPECT_LT(exeAside, commit);
  // Whenever a journal lay at its name, it was whole: the plan before the commit, the committed
  // one after it.
  for (size_t i = 0; i < g_journalSeen.size(); ++i) {
    SCOPED_TRACE(g_steps[i]);
    if (g_journalSeen[i] == "-") {
      EXPECT_LE(static_cast<ptrdiff_t>(i), place);
      continue;
    }
    const std::string& seen = g_journalSeen[i];
    EXPECT_EQ(seen.rfind("zarvik update journal 2\n", 0), 0u) << seen;
    EXPECT_TRUE(seen.size() > 6 && seen.substr(seen.size() - 6) == "E\tend\n") << seen;
    EXPECT_EQ(seen.find("C\tcommitted\n") != std::string::npos, static_cast<ptrdiff_t>(i) > commit)
        << seen;
  }
  EXPECT_FALSE(Exists(temporary));
}

TEST_F(Installer, JournalThatCannotBeWrittenWholeRenamesNothing) {
  ServePackage(NewVersion());
  const std::wstring package = dir + L"zarvik.zip";
  for (const char* failing : {"create journal", "write journal", "place journal"}) {
    SCOPED_TRACE(failing);
    ASSERT_TRUE(WriteFileBytes(package, ReadFileBytes(temp.File(L"built.zip"))));
    static const char* s_failing;
    s_failing = failing;
    zarvik::SetUpdateStepHook(
        [](const char* step, const std::wstring&) { return std::string(step) != s_failing; });
    EXPECT_EQ(zarvik::InstallPackage(dir, package), kUpdateJournalFailed);
    zarvik::SetUpdateStepHook(nullptr);
    FileTree tree = TreeOf(dir);
    tree.erase(L"zarvik.zip");
    FileTree expected = Untouched();
    expected.erase(L"lib\\a.dll.old");  // stale: deleted by the plan
    expected[L"zarvik.bin"] = "left-over";
    expected[L"duilib.dll.org"] = "left-over";
    EXPECT_EQ(tree, expected);  // no journal, no temporary journal, nothing renamed
    Put(L"lib\\a.dll.old", "stale from an earlier update");
  }
}

TEST_F(Installer, JournalLeftUnderItsTemporaryNameIsNeverActedOn) {
  Put(L"update.journal.new", "zarvik update journal 2\nN\tkeep.txt\nR\tlib\\a.dll\nE\tend\n");
  DeleteOldFiles(dir.substr(0, dir.size() - 1));
  FileTree expected = Untouched();
  expected[L"zarvik.bin"] = "left-over";  // start-up removes these separately
  expected[L"duilib.dll.org"] = "left-over";
  EXPECT_EQ(TreeOf(dir), expected);
}

TEST_F(Installer, RollBackNeverMovesAFolderAway) {
  // A whole journal of an earlier client whose N line names a folder that stands there.
  CreateDirectoryW((dir + L"skin").c_str(), nullptr);
  Put(L"skin\\main.xml", "old skin");
  Put(zarvik::kJournalName, "zarvik update journal\nN\tskin\nN\tlib\n");
  const FileTree before = TreeOf(dir);
  DeleteOldFiles(dir.substr(0, dir.size() - 1));
  FileTree expected = before;
  expected.erase(zarvik::kJournalName);
  EXPECT_EQ(TreeOf(dir), expected);
}

bool g_restoreFailed = false;
TEST_F(Installer, WhatARollBackCouldOnlyMoveAsideIsDeletedByALaterStart) {
  // The new executable cannot be replaced (it runs): the roll-back moves it aside and names it
  // in a journal of its own, which a later start settles.
  Put(L"zarvik.exe.old", "old exe");
  Put(L"zarvik.exe", "new exe");
  Put(L"readme.old", "the player's");
  Put(zarvik::kJournalName, "zarvik update journal\nR\tzarvik.exe\n");
  g_restoreFailed = false;
  zarvik::SetUpdateStepHook([](const char* step, const std::wstring&) {
    if (std::string(step) != "restore" || g_restoreFailed)
      return true;
    g_restoreFailed = true;  // the first, replacing rename
    return false;
  });
  EXPECT_EQ(zarvik::SettleEarlierUpdate(dir), zarvik::EarlierUpdate::kRolledBack);
  zarvik::SetUpdateStepHook(nullptr);
  EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe"), "old exe");
  EXPECT_EQ(ReadFileBytes(dir + L"zarvik.exe.old.undone"), "new exe");
  DeleteOldFiles(dir.substr(0, dir.size() - 1));
  FileTree tree = TreeOf(dir);
  EXPECT_EQ(tree.count(L"zarvik.exe.old.undone"), 0u);
  EXPECT_EQ(tree.count(zarvik::kJournalName), 0u);
  EXPECT_EQ(tree[L"readme.old"], "the player's");
  EXPECT_EQ(tree[L"zarvik.exe"], "old exe");
}

}  // namespace
