#include "app/update_course.h"

#include <gtest/gtest.h>

#include "base/endpoints.h"
#include "base/game_notify.h"
#include "base/globals.h"
#include "common/encoding.h"
#include "common/scoped_handle.h"
#include "support/child_process.h"
#include "support/file_tree.h"
#include "support/temp_dir.h"
#include "updater/installer.h"
#include "updater/update_journal.h"

using zarvik_test::TempDir;

namespace {

// What the fake steps saw; reset by the fixture.
struct Seen {
  bool newer = false, switchOpen = false, allowed = false;
  int windowResult = 0;
  std::vector<DWORD> others;
  int switchAsked = 0, permissionAsked = 0, windows = 0, uninstalled = 0;
  HWND windowOwner = nullptr;
  std::vector<bool> reports;
  std::vector<std::wstring> helpPages;
  std::vector<std::wstring> oldFileFolders;
} g_seen;

UpdateCourseSteps FakeSteps(const std::wstring& dir, const std::wstring& mutexName) {
  UpdateCourseSteps steps;
  steps.checkNewVersion = [] { return g_seen.newer; };
  steps.queryUpdateSwitch = [] {
    ++g_seen.switchAsked;
    return g_seen.switchOpen;
  };
  steps.queryUpdatePermission = [] {
    ++g_seen.permissionAsked;
    return g_seen.allowed;
  };
  steps.findOtherInstances = [](std::vector<DWORD>& ids) {
    ids = g_seen.others;
    return !ids.empty();
  };
  steps.showUpdateWindow = [](HWND owner) {
    ++g_seen.windows;
    g_seen.windowOwner = owner;
    return g_seen.windowResult;
  };
  steps.sendUpdateReport = [](bool failed) { g_seen.reports.push_back(failed); };
  steps.openHelpPage = [](const wchar_t* url) { g_seen.helpPages.push_back(url); };
  steps.deleteOldFiles = [](const std::wstring& folder) {
    g_seen.oldFileFolders.push_back(folder);
  };
  steps.uninstallCrashReporter = [] { ++g_seen.uninstalled; };
  steps.exeDirectory = dir;
  steps.mutexName = mutexName.c_str();
  return steps;
}

class UpdateCourse : public testing::Test {
 protected:
  void SetUp() override {
    g_seen = Seen();
    mutexName = L"Local\\zarvik-update-course-test-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + std::to_wstring(++s_counter);
    game =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(game);
    g_gameWnd = game;
    WriteLeftOvers();
  }
  void WriteLeftOvers() {
    for (const wchar_t* name : {L"zarvik.bin", L"duilib.dll.org", L"update.ini"})
      ASSERT_TRUE(zarvik_test::WriteFileBytes(temp.File(name), "left-over"));
  }
  void TearDown() override {
    g_gameWnd = nullptr;
    g_editionIndex = 0;
    DestroyWindow(game);
  }
  std::vector<std::pair<UINT, WPARAM>> Notifications() {
    std::vector<std::pair<UINT, WPARAM>> list;
    MSG msg;
    while (PeekMessageW(&msg, game, 0, 0, PM_REMOVE))
      list.emplace_back(msg.message, msg.wParam);
    return list;
  }
  bool LeftOversGone() {
    for (const wchar_t* name : {L"zarvik.bin", L"duilib.dll.org", L"update.ini"})
      if (GetFileAttributesW(temp.File(name).c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    return true;
  }
  std::wstring FolderWithoutSeparator() {
    std::wstring dir = temp.path();
    dir.pop_back();
    return dir;
  }

  TempDir temp;
  std::wstring mutexName;
  HWND game = nullptr;
  static int s_counter;
};
int UpdateCourse::s_counter = 0;

TEST_F(UpdateCourse, NoUpdateCleansUpAndStartsNormally) {
  struct Case {
    const char* what;
    bool newer, switchOpen, allowed;
    int switchAsked, permissionAsked;
  } cases[] = {
      {"no newer version", false, true, true, 0, 0},
      {"switch closed, permission refused", true, false, false, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_seen = Seen();
    WriteLeftOvers();
    g_seen.newer = c.newer;
    g_seen.switchOpen = c.switchOpen;
    g_seen.allowed = c.allowed;
    EXPECT_FALSE(RunUpdateCourse(true, FakeSteps(temp.path(), mutexName)));
    EXPECT_EQ(g_seen.switchAsked, c.switchAsked);
    EXPECT_EQ(g_seen.permissionAsked, c.permissionAsked);
    EXPECT_EQ(g_seen.windows, 0);
    EXPECT_EQ(g_seen.uninstalled, 0);
    EXPECT_EQ(g_seen.oldFileFolders, std::vector<std::wstring>{FolderWithoutSeparator()});
    EXPECT_TRUE(LeftOversGone());
    EXPECT_TRUE(Notifications().empty());
  }
}

TEST_F(UpdateCourse, OpenSwitchRunsTheUpdateWithoutAskingPermission) {
  g_seen.newer = g_seen.switchOpen = true;
  EXPECT_TRUE(RunUpdateCourse(true, FakeSteps(temp.path(), mutexName)));
  EXPECT_EQ(g_seen.permissionAsked, 0);
  EXPECT_EQ(g_seen.windows, 1);
  EXPECT_EQ(g_seen.windowOwner, game);
  EXPECT_EQ(g_seen.reports, std::vector<bool>{false});
  EXPECT_TRUE(g_seen.helpPages.empty());
  EXPECT_EQ(g_seen.uninstalled, 1);
  EXPECT_TRUE(g_seen.oldFileFolders.empty());
  EXPECT_FALSE(LeftOversGone()) << "the manifest stays for the next start";
  EXPECT_EQ(Notifications(),
            (std::vector<std::pair<UINT, WPARAM>>{{GAME_NOTIFY_UPDATE_BEGIN, 0x857C0000},
                                                  {GAME_NOTIFY_UPDATE_OK, 0x857D0000}}));
}

TEST_F(UpdateCourse, FailedUpdateReportsOpensHelpAndTellsTheGame) {
  g_seen.newer = g_seen.allowed = true;
  g_seen.windowResult = 22;
  g_editionIndex = 1;
  // Another instance: a suspended copy of this program.
  zarvik_test::ChildProcess other;
  ASSERT_TRUE(other.Start(zarvik_test::OwnProgramPath(), L"--gtest_list_tests", CREATE_SUSPENDED));
  g_seen.others = {other.id()};

  EXPECT_TRUE(RunUpdateCourse(false, FakeSteps(temp.path(), mutexName)));
  EXPECT_EQ(WaitForSingleObject(other.process(), 10000), WAIT_OBJECT_0) << "not terminated";
  EXPECT_EQ(g_seen.switchAsked, 1);
  EXPECT_EQ(g_seen.permissionAsked, 1);
  EXPECT_EQ(g_seen.reports, std::vector<bool>{true});
  EXPECT_EQ(g_seen.helpPages, std::vector<std::wstring>{UpdateHelpPageUrl(1)});
  EXPECT_EQ(g_seen.uninstalled, 0);  // no reporter was installed
  EXPECT_EQ(Notifications(),
            (std::vector<std::pair<UINT, WPARAM>>{{GAME_NOTIFY_UPDATE_BEGIN, 0x857C0000},
                                                  {GAME_NOTIFY_INSTANCES_CLOSED, 0x857F0000},
                                                  {GAME_NOTIFY_UPDATE_FAIL, 0x857E0000}}));
}

TEST_F(UpdateCourse, ExistingLockMeansBusyAndKeepsTheUpdateFiles) {
  zarvik::ScopedHandle held(CreateMutexW(nullptr, TRUE, mutexName.c_str()));
  ASSERT_TRUE(held);
  g_seen.newer = g_seen.switchOpen = true;
  EXPECT_TRUE(RunUpdateCourse(true, FakeSteps(temp.path(), mutexName)));
  EXPECT_EQ(g_seen.windows, 0);
  EXPECT_TRUE(g_seen.reports.empty());
  EXPECT_EQ(g_seen.uninstalled, 1);
  EXPECT_EQ(Notifications(),
            (std::vector<std::pair<UINT, WPARAM>>{{GAME_NOTIFY_UPDATE_BUSY, 0x85800000}}));

  // A start without an update while another process installs leaves its files alone.
  g_seen = Seen();
  EXPECT_FALSE(RunUpdateCourse(false, FakeSteps(temp.path(), mutexName)));
  EXPECT_TRUE(g_seen.oldFileFolders.empty());
  EXPECT_FALSE(LeftOversGone());
}

TEST_F(UpdateCourse, CleanUpSettlesAJournalInAFolderOutsideTheCodePage) {
  // The normal start's clean-up gets the folder as the system names it: no conversion to the
  // ANSI code page may turn these names into question marks.
  const wchar_t* folders[] = {L"\u0417\u0430\u0440\u0432\u0438\u043a",  // Cyrillic
                              L"\u6e38\u620f \u5ba2\u6237\u7aef"};      // CJK, with a blank
  for (const wchar_t* folder : folders) {
    SCOPED_TRACE(zarvik::WideToUtf8(folder));
    const std::wstring dir = temp.File(folder) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    // An installation interrupted after it set duilib.dll aside and added a file.
    zarvik::UpdateJournal journal;
    journal.added = {L"added.txt"};
    journal.replaced = {L"duilib.dll"};
    ASSERT_TRUE(
        zarvik_test::WriteFileBytes(dir + zarvik::kJournalName, zarvik::FormatJournal(journal)));
    ASSERT_TRUE(zarvik_test::WriteFileBytes(dir + L"zarvik.exe", "old exe"));
    ASSERT_TRUE(zarvik_test::WriteFileBytes(dir + L"duilib.dll.old", "old duilib"));
    ASSERT_TRUE(zarvik_test::WriteFileBytes(dir + L"duilib.dll", "new duilib"));
    ASSERT_TRUE(zarvik_test::WriteFileBytes(dir + L"added.txt", "added"));

    g_seen = Seen();
    UpdateCourseSteps steps = FakeSteps(dir, mutexName);
    steps.deleteOldFiles = &DeleteOldFiles;
    EXPECT_FALSE(RunUpdateCourse(false, steps));
    const zarvik_test::FileTree expected = {{L"zarvik.exe", "old exe"},
                                            {L"duilib.dll", "old duilib"}};
    EXPECT_EQ(zarvik_test::TreeOf(dir), expected)
        << zarvik_test::ShowTree(zarvik_test::TreeOf(dir));
  }
}

}  // namespace
