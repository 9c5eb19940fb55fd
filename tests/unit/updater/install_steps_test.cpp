// The installation interrupted at every step that changes the disk: killed (a child process of
// this test stops itself at step k), or with the call of step k failing. After a kill the next
// start is the installed zarvik.exe itself (the client built beside this test, the old or the new
// version told apart by bytes appended to it), started as the game would find it; after it and
// the normal start's clean-up the installation is byte for byte the old or the new version, with
// no "Temp", and nothing written beside the installation.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/encoding.h"
#include "common/module_path.h"
#include "common/scoped_handle.h"
#include "support/child_process.h"
#include "support/file_tree.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "updater/installer.h"
#include "updater/update_journal.h"
#include "updater/update_steps.h"

using zarvik_test::Member;
using zarvik_test::PathExists;
using zarvik_test::ReadFileBytes;
using zarvik_test::ShowTree;
using zarvik_test::TempDir;
using zarvik_test::TreeOf;
using zarvik_test::WriteFileBytes;
using zarvik_test::ZipMember;

namespace {

constexpr DWORD kKilledExitCode = 77;

using Tree = zarvik_test::FileTree;

struct Package {
  const char* what;
  std::vector<ZipMember> members;
  Tree newTree;  // the installation afterwards, once the new version has started
};

// The installed version: a flat part, a folder, and "Temp" left over by a failed update, whose
// files must never be installed.
const Tree kOldTree = {
    {L"zarvik.exe", "old exe"},          {L"duilib.dll", "old duilib"},
    {L"keep.txt", "not in any package"}, {L"skin\\", ""},
    {L"skin\\a.png", "old a"},
};

std::vector<Package> Packages() {
  std::vector<Package> packages;
  packages.push_back({"flat",
                      {Member("duilib.dll", "new duilib"), Member("zarvik.exe", "new exe"),
                       Member("added.txt", "added")},
                      kOldTree});
  packages.back().newTree[L"duilib.dll"] = "new duilib";
  packages.back().newTree[L"zarvik.exe"] = "new exe";
  packages.back().newTree[L"added.txt"] = "added";

  packages.push_back(
      {"folders",
       {Member("zarvik.exe", "new exe"), Member("skin/", ""), Member("skin/a.png", "new a"),
        Member("skin/sub/b.png", "new b"), Member("lib/", ""), Member("lib/c.dll", "new c")},
       kOldTree});
  Tree& folders = packages.back().newTree;
  folders[L"zarvik.exe"] = "new exe";
  folders[L"skin\\a.png"] = "new a";
  folders[L"skin\\sub\\"] = "";
  folders[L"skin\\sub\\b.png"] = "new b";
  folders[L"lib\\"] = "";
  folders[L"lib\\c.dll"] = "new c";

  packages.push_back({"single", {Member("zarvik.exe", "new exe")}, kOldTree});
  packages.back().newTree[L"zarvik.exe"] = "new exe";
  return packages;
}

// The two versions of the executable that really run: the client built beside this test, with
// the version's name appended (the loader ignores what follows the image).
const std::string& RealExe(const std::string& version) {
  static const std::string built =
      ReadFileBytes(zarvik::StripLastComponent(zarvik_test::OwnProgramPath()) + L"zarvik.exe");
  static const std::string oldExe = built + "old exe", newExe = built + "new exe";
  return version == "new exe" ? newExe : oldExe;
}

// The tree with the real executables named by their version, as the expected trees name them.
Tree Labelled(Tree tree) {
  for (auto& [name, data] : tree) {
    for (const char* version : {"old exe", "new exe"}) {
      if (data.size() > 7 && data == RealExe(version))
        data = version;
    }
  }
  return tree;
}

// A folder with the installation and, beside it, a folder that nothing may touch.
struct Scene {
  explicit Scene(const std::wstring& folder = L"inst") : folder(folder + L"\\") {}

  TempDir temp;
  std::wstring folder;
  std::wstring dir = temp.File(folder);
  std::wstring outside = temp.File(L"outside\\");
  std::wstring package = dir + L"zarvik.zip";

  // With `realExes` the executables are the built client (see RealExe); `zip`, when given, is
  // the package already built.
  bool Prepare(const Package& p, bool realExes = false, const std::wstring& zip = L"") {
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW(outside.c_str(), nullptr);
    bool ok = WriteFileBytes(outside + L"zarvik.exe.old", "not ours");
    for (const auto& [name, data] : kOldTree) {
      if (name.back() == L'\\')
        ok = CreateDirectoryW((dir + name).c_str(), nullptr) && ok;
      else
        ok = WriteFileBytes(dir + name, realExes && data == "old exe" ? RealExe(data) : data) && ok;
    }
    CreateDirectoryW((dir + L"Temp").c_str(), nullptr);
    ok = WriteFileBytes(dir + L"Temp\\keep.txt", "stale from a failed update") && ok;
    if (!zip.empty())
      return CopyFileW(zip.c_str(), package.c_str(), FALSE) && ok;
    std::vector<ZipMember> members = p.members;
    for (ZipMember& member : members) {
      if (realExes && member.data == "new exe")
        member.data = RealExe(member.data);
    }
    return zarvik_test::BuildZip(package, members) && ok;
  }
  // Everything under the temporary folder besides the installation.
  Tree Beside() {
    Tree tree = TreeOf(temp.path());
    for (auto it = tree.begin(); it != tree.end();)
      it = it->first.rfind(folder, 0) == 0 ? tree.erase(it) : std::next(it);
    return tree;
  }
};

const Tree kBeside = {{L"outside\\", ""}, {L"outside\\zarvik.exe.old", "not ours"}};

// --- Child side: install, stopping the process at step ZARVIK_KILL_AT -------------------------

int g_step = 0;
int g_killAt = 0;
std::string g_stepNames;

bool KillingHook(const char* step, const std::wstring& path) {
  ++g_step;
  g_stepNames += std::string(step) + " " + zarvik::WideToUtf8(path) + "\n";
  if (g_step == g_killAt)
    TerminateProcess(GetCurrentProcess(), kKilledExitCode);
  return true;
}

std::wstring Env(const wchar_t* name) {
  wchar_t value[1024] = {};
  GetEnvironmentVariableW(name, value, 1024);
  return value;
}

// Run only as the child of InstallKilled (see below).
TEST(InstallKilledChild, DISABLED_Install) {
  g_killAt = _wtoi(Env(L"ZARVIK_KILL_AT").c_str());
  const std::wstring dir = Env(L"ZARVIK_KILL_DIR");
  ASSERT_FALSE(dir.empty());
  zarvik::SetUpdateStepHook(&KillingHook);
  int result = zarvik::InstallPackage(dir, dir + L"zarvik.zip");
  zarvik::SetUpdateStepHook(nullptr);
  // The step list goes beside the temporary folder's "inst" and "outside".
  ASSERT_TRUE(WriteFileBytes(Env(L"ZARVIK_KILL_REPORT"),
                             "result " + std::to_string(result) + "\n" + g_stepNames));
}

// Runs the child with a kill at `killAt` (0: never); its exit code.
DWORD RunChild(const std::wstring& dir, int killAt, const std::wstring& report) {
  SetEnvironmentVariableW(L"ZARVIK_KILL_AT", std::to_wstring(killAt).c_str());
  SetEnvironmentVariableW(L"ZARVIK_KILL_DIR", dir.c_str());
  SetEnvironmentVariableW(L"ZARVIK_KILL_REPORT", report.c_str());
  zarvik_test::ChildProcess child;
  if (!child.Start(zarvik_test::OwnProgramPath(),
                   L"--gtest_filter=InstallKilledChild.DISABLED_Install"
                   L" --gtest_also_run_disabled_tests --gtest_brief=1",
                   CREATE_NO_WINDOW))
    return 0xFFFFFFFF;
  return child.WaitForExit(120000);  // STILL_ACTIVE if it hangs
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The next start as the game makes it: the installed zarvik.exe, here with no start arguments,
// settles what it finds and ends with "invalid start argument.". Its exit code, the log lines.
DWORD StartInstalled(const std::wstring& dir, std::string* log) {
  zarvik_test::ChildProcess client;
  if (!client.Start(dir + L"zarvik.exe", L"", 0))
    return 0xFFFFFFFF;
  const DWORD code = client.WaitForExit(60000);
  *log = ReadFileBytes(dir + L"zarvik.log");
  DeleteFileW((dir + L"zarvik.log").c_str());
  return code;
}

// What the start leaves to the normal start's clean-up: the scratch folder, the package, and
// new files moved away where the running executable could not be replaced.
Tree WithoutLeftOvers(Tree tree) {
  for (auto it = tree.begin(); it != tree.end();) {
    const std::wstring& name = it->first;
    const bool leftOver =
        name.rfind(L"Temp\\", 0) == 0 || name == L"zarvik.zip" ||
        (name.size() > 11 && name.compare(name.size() - 11, 11, L".old.undone") == 0);
    it = leftOver ? tree.erase(it) : std::next(it);
  }
  return tree;
}

// After the installed executable has run: the journal is settled, the installation is one
// version, and the normal start's clean-up keeps that version and removes the rest.
void ExpectSettledByTheNextStart(Scene& scene, const Package& p, bool mustBeNew) {
  std::string log;
  ASSERT_EQ(StartInstalled(scene.dir, &log), 0u);
  const std::vector<zarvik_test::LogEntry> entries = zarvik_test::LogEntriesOf(log);
  ASSERT_FALSE(entries.empty()) << log;
  EXPECT_EQ(entries.front().message, "start zarvik...");
  EXPECT_EQ(entries.back().message, "invalid start argument.");
  // Settled: no journal, or, where the roll-back could only move the running executable aside,
  // a committed one that names nothing but what the clean-up deletes ("U" lines).
  const std::wstring journalPath = scene.dir + zarvik::kJournalName;
  if (PathExists(journalPath)) {
    zarvik::UpdateJournal journal;
    std::string problem;
    ASSERT_EQ(zarvik::ParseJournal(ReadFileBytes(journalPath), &journal, &problem),
              zarvik::JournalText::kUsable)
        << problem;
    EXPECT_TRUE(journal.committed);
    EXPECT_TRUE(journal.added.empty() && journal.replaced.empty() && journal.folders.empty());
    EXPECT_FALSE(journal.undone.empty());
  }
  Tree settled = WithoutLeftOvers(Labelled(TreeOf(scene.dir)));
  settled.erase(zarvik::kJournalName);
  if (mustBeNew)
    EXPECT_EQ(settled, p.newTree) << ShowTree(settled);
  else
    EXPECT_TRUE(settled == kOldTree || settled == p.newTree) << ShowTree(settled);
  const std::wstring base = scene.dir.substr(0, scene.dir.size() - 1);
  DeleteOldFiles(base);
  const Tree after = Labelled(TreeOf(scene.dir));
  EXPECT_EQ(after, settled) << ShowTree(after);  // journal and left-overs gone
  EXPECT_EQ(scene.Beside(), kBeside) << ShowTree(scene.Beside());
}

// The durability order in the steps of one installation: every member written is flushed, and
// every flush comes before the journal, which comes before the first rename.
void ExpectEveryMemberFlushedBeforeTheJournal(const std::vector<std::string>& steps) {
  size_t journal = steps.size();
  for (size_t i = 0; i < steps.size() && journal == steps.size(); ++i) {
    if (steps[i].rfind("create journal ", 0) == 0)
      journal = i;
  }
  ASSERT_LT(journal, steps.size());
  std::multiset<std::string> written, flushed;
  for (size_t i = 0; i < steps.size(); ++i) {
    const std::string& step = steps[i];
    if (step.rfind("write member ", 0) == 0)
      written.insert(step.substr(13));
    if (step.rfind("flush member ", 0) == 0) {
      flushed.insert(step.substr(13));
      EXPECT_LT(i, journal) << step;
    }
  }
  EXPECT_FALSE(written.empty());
  EXPECT_EQ(flushed, written);
}

TEST(InstallKilled, TheInstalledExecutableSettlesTheNextStartAfterAKillAtEveryStep) {
  ASSERT_GT(RealExe("old exe").size(), 1000u) << "zarvik.exe is built beside the tests";
  for (const Package& p : Packages()) {
    SCOPED_TRACE(p.what);
    TempDir packageFolder;
    const std::wstring zip = packageFolder.File(L"zarvik.zip");
    // A run without a kill gives the list of steps: every step the hook sees is a row.
    std::vector<std::string> steps;
    {
      Scene scene;
      ASSERT_TRUE(scene.Prepare(p, true));
      ASSERT_TRUE(CopyFileW(scene.package.c_str(), zip.c_str(), FALSE));
      const std::wstring report = scene.temp.File(L"report.txt");
      ASSERT_EQ(RunChild(scene.dir, 0, report), 0u);
      steps = Lines(ReadFileBytes(report));
      ASSERT_FALSE(steps.empty());
      ASSERT_EQ(steps[0], "result 0");
      steps.erase(steps.begin());
      ExpectEveryMemberFlushedBeforeTheJournal(steps);
      DeleteFileW(report.c_str());
      ExpectSettledByTheNextStart(scene, p, true);
    }
    std::vector<std::string> exeMissing;
    for (size_t k = 1; k <= steps.size(); ++k) {
      SCOPED_TRACE(testing::Message() << "killed before step " << k << ": " << steps[k - 1]);
      Scene scene;
      ASSERT_TRUE(scene.Prepare(p, true, zip));
      ASSERT_EQ(RunChild(scene.dir, static_cast<int>(k), scene.temp.File(L"report.txt")),
                kKilledExitCode);
      EXPECT_FALSE(PathExists(scene.temp.File(L"report.txt")));
      const std::wstring exe = scene.dir + L"zarvik.exe";
      if (!PathExists(exe)) {
        // The one window: between the executable's set-aside and its move into place, two
        // adjacent renames. The game finds nothing to start, so nothing settles; the backup is
        // whole, and renaming it back is the way out (README).
        exeMissing.push_back(steps[k - 1]);
        EXPECT_EQ(Labelled(TreeOf(scene.dir))[L"zarvik.exe.old"], "old exe");
        zarvik_test::ChildProcess none;
        EXPECT_FALSE(none.Start(exe, L"", 0));
        ASSERT_TRUE(MoveFileW((exe + L".old").c_str(), exe.c_str()));
      }
      ExpectSettledByTheNextStart(scene, p, false);
    }
    // The rows that left no zarvik.exe, by name: only the executable's own move into place.
    std::string named;
    for (const std::string& step : exeMissing)
      named += "\n  killed before: " + step;
    std::printf("[ rows ] %s: %zu kills, %zu without zarvik.exe%s\n", p.what, steps.size(),
                exeMissing.size(), named.c_str());
    ASSERT_EQ(exeMissing.size(), 1u) << named;
    EXPECT_EQ(exeMissing[0].rfind("move in ", 0), 0u) << named;
    EXPECT_EQ(exeMissing[0].substr(exeMissing[0].size() - 11), "\\zarvik.exe") << named;
  }
}

// --- One failing call at every step, in this process ------------------------------------------

int g_failAt = 0;
int g_counted = 0;
bool g_failRestores = false;
bool FailingHook(const char* step, const std::wstring&) {
  ++g_counted;
  if (g_failRestores && std::string(step) == "restore")
    return false;
  return g_counted != g_failAt;
}

TEST(InstallFailed, AFailingCallAtAnyStepEndsInTheOldVersionOrReportsSuccess) {
  for (const Package& p : Packages()) {
    SCOPED_TRACE(p.what);
    int total = 0;
    {
      Scene scene;
      ASSERT_TRUE(scene.Prepare(p));
      g_counted = 0;
      g_failAt = 0;
      zarvik::SetUpdateStepHook(&FailingHook);
      EXPECT_EQ(zarvik::InstallPackage(scene.dir, scene.package), 0);
      zarvik::SetUpdateStepHook(nullptr);
      total = g_counted;
    }
    ASSERT_GT(total, 5);
    for (int k = 1; k <= total; ++k) {
      SCOPED_TRACE(testing::Message() << "step " << k << " fails");
      Scene scene;
      ASSERT_TRUE(scene.Prepare(p));
      g_counted = 0;
      g_failAt = k;
      zarvik::SetUpdateStepHook(&FailingHook);
      const int result = zarvik::InstallPackage(scene.dir, scene.package);
      zarvik::SetUpdateStepHook(nullptr);
      if (result != 0) {
        // A reported failure has already put the old version back.
        Tree now = TreeOf(scene.dir);
        now.erase(L"zarvik.zip");
        for (auto it = now.begin(); it != now.end();)  // "Temp" may not have been removable
          it = it->first.rfind(L"Temp\\", 0) == 0 ? now.erase(it) : std::next(it);
        EXPECT_EQ(now, kOldTree) << result << "\n" << ShowTree(now);
      }
      zarvik::CleanUpAfterUpdate(scene.dir);
      EXPECT_EQ(TreeOf(scene.dir), result == 0 ? p.newTree : kOldTree)
          << result << "\n"
          << ShowTree(TreeOf(scene.dir));
      EXPECT_EQ(scene.Beside(), kBeside);
    }
  }
}

TEST(InstallFailed, FailedRollBackKeepsTheJournalAndTheBackups) {
  Package p = Packages()[0];
  Scene scene;
  ASSERT_TRUE(scene.Prepare(p));
  // The commit fails, and so does every attempt to put an old file back.
  g_counted = 0;
  g_failAt = -1;
  g_failRestores = true;
  zarvik::SetUpdateStepHook([](const char* step, const std::wstring& path) {
    return std::string(step) != "commit journal" && FailingHook(step, path);
  });
  EXPECT_EQ(zarvik::InstallPackage(scene.dir, scene.package), kUpdateRollBackFailed);
  // A start now, with the same trouble, keeps everything too.
  zarvik::CleanUpAfterUpdate(scene.dir);
  zarvik::SetUpdateStepHook(nullptr);
  g_failRestores = false;
  Tree now = TreeOf(scene.dir);
  EXPECT_EQ(now[L"zarvik.exe.old"], "old exe") << ShowTree(now);
  EXPECT_EQ(now[L"duilib.dll.old"], "old duilib");
  EXPECT_NE(now.count(zarvik::kJournalName), 0u);
  // The next start without the trouble rolls back.
  zarvik::CleanUpAfterUpdate(scene.dir);
  EXPECT_EQ(TreeOf(scene.dir), kOldTree) << ShowTree(TreeOf(scene.dir));
}

TEST(InstallFailed, JournalThatCannotBeWrittenRenamesNothing) {
  // A folder stands where the journal goes: without a journal no rename may start, since a crash
  // after it could not be undone.
  for (const Package& p : Packages()) {
    SCOPED_TRACE(p.what);
    Scene scene;
    ASSERT_TRUE(scene.Prepare(p));
    ASSERT_TRUE(CreateDirectoryW((scene.dir + zarvik::kJournalName).c_str(), nullptr));
    zarvik_test::LogCapture log;
    EXPECT_EQ(zarvik::InstallPackage(scene.dir, scene.package), kUpdateJournalFailed);
    EXPECT_TRUE(log.HasError("cannot write the update journal"));
    Tree now = TreeOf(scene.dir);
    now.erase(L"zarvik.zip");
    now.erase(std::wstring(zarvik::kJournalName) + L"\\");
    EXPECT_EQ(now, kOldTree) << ShowTree(now);  // no backup, no new file, no scratch folder
    EXPECT_EQ(scene.Beside(), kBeside);
  }
}

TEST(InstallFailed, ScratchFolderThatCannotBeMadeUnpacksNothing) {
  // A file named like the scratch folder, held open so that it cannot be deleted: without the
  // folder no member may be unpacked anywhere, and nothing may be set aside.
  for (const Package& p : Packages()) {
    SCOPED_TRACE(p.what);
    Scene scene;
    ASSERT_TRUE(scene.Prepare(p));
    const std::wstring scratch = scene.dir + L"Temp";
    ASSERT_TRUE(DeleteFileW((scratch + L"\\keep.txt").c_str()));
    ASSERT_TRUE(RemoveDirectoryW(scratch.c_str()));
    ASSERT_TRUE(WriteFileBytes(scratch, "a file in the way"));
    zarvik::ScopedFileHandle held(CreateFileW(scratch.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    zarvik_test::LogCapture log;
    EXPECT_EQ(zarvik::InstallPackage(scene.dir, scene.package), kUpdateScratchFailed);
    held.Reset();
    bool named = false;
    for (const zarvik_test::LogEntry& entry : log.Entries()) {
      if (entry.level == "ERROR" && entry.message.find("scratch folder") != std::string::npos) {
        // The system's error number is in the line, and it is not "no error".
        const size_t at = entry.message.rfind(" error : ");
        ASSERT_NE(at, std::string::npos) << entry.message;
        EXPECT_NE(std::atoi(entry.message.c_str() + at + 9), 0) << entry.message;
        named = true;
      }
    }
    EXPECT_TRUE(named);
    Tree now = TreeOf(scene.dir);
    now.erase(L"zarvik.zip");
    Tree expected = kOldTree;
    expected[L"Temp"] = "a file in the way";
    EXPECT_EQ(now, expected) << ShowTree(now);  // no backup, no journal, no member
    EXPECT_EQ(scene.Beside(), kBeside);
  }
}

TEST(InstallJournal, UnsafeOrBrokenJournalsAreNeverActedOn) {
  const std::string header = zarvik::kJournalHeaderText;
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"climbing", header + "R\t..\\outside\\zarvik.exe\n"},
      {"climbing new", header + "N\t..\\outside\\zarvik.exe.old\n"},
      {"absolute", header + "N\t\\Windows\\x.dll\n"},
      {"drive", header + "R\tC:\\x.dll\n"},
      {"stream", header + "R\tzarvik.exe:s\n"},
      {"device", header + "N\tNUL\n"},
      {"look-alike", header + "N\t\xef\xbc\x8e\xef\xbc\x8e\xef\xbc\xbckeep.txt\n"},
      {"very long", header + "N\t" + std::string(70000, 'a') + "\n"},
      {"no header", "N\tkeep.txt\n"},
      {"unknown line", header + "X\tkeep.txt\n"},
      {"too large", header + std::string(zarvik::kMaxJournalBytes, '\n')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene scene;
    ASSERT_TRUE(scene.Prepare(Packages()[0]));
    DeleteFileW(scene.package.c_str());
    ASSERT_TRUE(WriteFileBytes(scene.dir + L"zarvik.exe.old", "a backup"));
    ASSERT_TRUE(WriteFileBytes(scene.dir + zarvik::kJournalName, c.text));
    EXPECT_EQ(zarvik::SettleEarlierUpdate(scene.dir), zarvik::EarlierUpdate::kStuck);
    zarvik::CleanUpAfterUpdate(scene.dir);
    // Neither the backup nor the journal went; nothing outside was touched.
    Tree expected = kOldTree;
    expected[L"zarvik.exe.old"] = "a backup";
    expected[zarvik::kJournalName] = c.text;
    EXPECT_EQ(TreeOf(scene.dir), expected);
    EXPECT_EQ(scene.Beside(), kBeside);
  }
  // A journal cut short in its commit line is not committed: rolled back.
  Scene scene;
  ASSERT_TRUE(scene.Prepare(Packages()[0]));
  ASSERT_TRUE(WriteFileBytes(scene.dir + zarvik::kJournalName, header + "N\tadded.txt\nC\tcommi"));
  ASSERT_TRUE(WriteFileBytes(scene.dir + L"added.txt", "added"));
  EXPECT_EQ(zarvik::SettleEarlierUpdate(scene.dir), zarvik::EarlierUpdate::kRolledBack);
  EXPECT_FALSE(PathExists(scene.dir + L"added.txt"));
}

}  // namespace
