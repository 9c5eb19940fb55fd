// An earlier update's journal is settled first thing in the browser process, before any
// stand-in DLL is loaded. In this process: the update lock and the log lines held until the log
// is open. For real: the built zarvik.exe, copied into a folder whose stand-in DLLs are missing
// or are not DLLs at all, started without start arguments, settles the journal and ends with
// "invalid start argument.".
#include "app/early_settle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/encoding.h"
#include "common/module_path.h"
#include "common/scoped_handle.h"
#include "diagnostics/log.h"
#include "support/child_process.h"
#include "support/file_tree.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "updater/update_journal.h"

using zarvik_test::TempDir;
using zarvik_test::TreeOf;
using zarvik_test::WriteFileBytes;
using Tree = zarvik_test::FileTree;

namespace {

// An update that set `replaced` aside and added "added.txt": interrupted, or with `committed`
// finished, waiting for the first start of the new version.
bool WriteUpdate(const std::wstring& dir, const std::wstring& replaced, bool committed) {
  zarvik::UpdateJournal journal;
  journal.added = {L"added.txt"};
  journal.replaced = {replaced};
  journal.committed = committed;
  return WriteFileBytes(dir + zarvik::kJournalName, zarvik::FormatJournal(journal)) &&
         WriteFileBytes(dir + replaced + L".old", "old") && WriteFileBytes(dir + replaced, "new") &&
         WriteFileBytes(dir + L"added.txt", "added");
}

Tree OldTree(const std::wstring& replaced) {
  return {{replaced, "old"}};
}
Tree NewTree(const std::wstring& replaced) {
  return {{replaced, "new"}, {L"added.txt", "added"}};
}

// The entries as "LEVEL:message"; the folder `dir` (with its trailing backslash), where a line
// names a file in it, reads "<dir>\", so lines of settles in different folders compare.
std::vector<std::string> Lines(const std::vector<zarvik_test::LogEntry>& entries,
                               const std::wstring& dir = L"") {
  const std::string folder = zarvik::WideToAnsi(dir);
  std::vector<std::string> lines;
  for (const zarvik_test::LogEntry& entry : entries) {
    std::string line = entry.level + ":" + entry.message;
    for (size_t at; !folder.empty() && (at = line.find(folder)) != std::string::npos;)
      line.replace(at, folder.size(), "<dir>\\");
    lines.push_back(line);
  }
  return lines;
}

// What the settle of such an update writes when the log is open.
std::vector<std::string> SettleLines(const std::wstring& replaced, bool committed) {
  TempDir temp;
  EXPECT_TRUE(WriteUpdate(temp.path(), replaced, committed));
  zarvik_test::LogCapture log;
  zarvik::SettleEarlierUpdate(temp.path());
  return Lines(log.Entries(), temp.path());
}

std::wstring LockName() {
  static int counter = 0;
  return L"Local\\zarvik-early-settle-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++counter);
}

TEST(EarlySettle, SettlesUnlessAnUpdateRunsAndHoldsItsLinesForTheLog) {
  struct Case {
    const char* what;
    bool committed, lockHeld;
  } cases[] = {
      {"interrupted", false, false},
      {"finished", true, false},
      {"interrupted, another process installs", false, true},
      {"finished, another process installs", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string> settleLines = SettleLines(L"duilib.dll", c.committed);
    ASSERT_FALSE(settleLines.empty());
    TempDir temp;
    ASSERT_TRUE(WriteUpdate(temp.path(), L"duilib.dll", c.committed));
    const Tree before = TreeOf(temp.path());
    const std::wstring lockName = LockName();
    zarvik::ScopedHandle lock(c.lockHeld ? CreateMutexW(nullptr, TRUE, lockName.c_str()) : nullptr);
    ASSERT_EQ(bool(lock), c.lockHeld);

    CLog::Destroy();  // start-up settles before the log exists
    const EarlySettle settled = SettleUpdateFirst(temp.path(), lockName.c_str());
    zarvik_test::LogCapture log;
    LogLine(INFO, "start zarvik...");
    CLog::WriteHeldLines();
    LogLine(INFO, "after");

    EXPECT_EQ(settled.updating, c.lockHeld);
    std::vector<std::string> expectedLines = {"INFO:start zarvik..."};
    if (c.lockHeld) {
      EXPECT_EQ(settled.found, zarvik::EarlierUpdate::kNone);
      EXPECT_EQ(TreeOf(temp.path()), before);  // its journal is live: nothing touched
    } else {
      EXPECT_EQ(settled.found, c.committed ? zarvik::EarlierUpdate::kFinished
                                           : zarvik::EarlierUpdate::kRolledBack);
      const Tree now = TreeOf(temp.path());
      EXPECT_EQ(now, c.committed ? NewTree(L"duilib.dll") : OldTree(L"duilib.dll"))
          << zarvik_test::ShowTree(now);
      expectedLines.insert(expectedLines.end(), settleLines.begin(), settleLines.end());
    }
    expectedLines.push_back("INFO:after");
    EXPECT_EQ(Lines(log.Entries(), temp.path()), expectedLines);
  }
}

// --- The built executable -------------------------------------------------------------------

std::wstring BuiltExe() {
  return zarvik::StripLastComponent(zarvik_test::OwnProgramPath()) + L"zarvik.exe";
}

TEST(EarlySettle, TheExecutableSettlesBeforeItNeedsAnyStandInDll) {
  const wchar_t* kNotDlls[] = {L"duilib.dll", L"agora_rtc_sdk.dll", L"CrashRpt1402.dll"};
  struct Case {
    const char* what;
    const wchar_t* folder;
    const wchar_t* replaced;
    bool notDlls;  // files named like the stand-ins that are no DLLs; otherwise none at all
    bool committed;
    const wchar_t* arguments;
    bool settles;
    bool logReadable;  // the log's path is ANSI text: outside the code page it cannot open
  } cases[] = {
      {"no stand-in DLLs, interrupted", L"absent", L"zarvik.ui", false, false, L"", true, true},
      {"stand-ins that are no DLLs, interrupted", L"garbage", L"duilib.dll", true, false, L"", true,
       true},
      {"stand-ins that are no DLLs, finished", L"finished", L"duilib.dll", true, true, L"", true,
       true},
      {"bad start arguments", L"arguments", L"duilib.dll", true, false, L"a b", true, true},
      {"a sub-process never settles", L"sub", L"duilib.dll", true, false, L"--type=gpu-process",
       false, false},
      {"folder outside the code page", L"\u0417\u0430\u0440\u0432\u0438\u043a \u6e38\u620f",
       L"duilib.dll", true, false, L"", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir temp;
    const std::wstring dir = temp.File(c.folder) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(BuiltExe().c_str(), (dir + L"zarvik.exe").c_str(), TRUE));
    ASSERT_TRUE(WriteUpdate(dir, c.replaced, c.committed));
    Tree old = OldTree(c.replaced), updated = NewTree(c.replaced);
    if (c.notDlls) {
      for (const wchar_t* name : kNotDlls) {
        if (name != std::wstring(c.replaced)) {
          ASSERT_TRUE(WriteFileBytes(dir + name, "not a DLL"));
          old[name] = updated[name] = "not a DLL";
        }
      }
    }
    Tree before = TreeOf(dir);
    before.erase(L"zarvik.exe");

    zarvik_test::ChildProcess client;
    ASSERT_TRUE(client.Start(dir + L"zarvik.exe", c.arguments, 0));
    EXPECT_EQ(client.WaitForExit(60000), 0u);

    Tree now = TreeOf(dir);
    EXPECT_EQ(now.count(L"zarvik.exe"), 1u);
    now.erase(L"zarvik.exe");
    const std::string log = now[L"zarvik.log"];
    now.erase(L"zarvik.log");
    const Tree& expected = !c.settles ? before : c.committed ? updated : old;
    EXPECT_EQ(now, expected) << zarvik_test::ShowTree(now);
    if (c.logReadable) {
      std::vector<std::string> lines = {"INFO:start zarvik..."};
      for (const std::string& line : SettleLines(c.replaced, c.committed))
        lines.push_back(line);
      lines.push_back("ERROR:invalid start argument.");
      EXPECT_EQ(Lines(zarvik_test::LogEntriesOf(log), dir), lines);
    } else if (!c.settles) {
      EXPECT_TRUE(log.empty()) << log;  // sub-processes write no log
    }
  }
}

}  // namespace
