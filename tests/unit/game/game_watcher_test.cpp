#include "game/game_watcher.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/log_capture.h"

namespace {

using zarvik_test::LogCapture;

const char kDiedText[] = "the game had died and notify js this app is going to close.";

// A message-only window standing in for the main window: it counts the WM_CLOSE it receives.
class CloseCounter {
 public:
  CloseCounter() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZarvikTestCloseCounter";
    RegisterClassW(&wc);
    m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~CloseCounter() { DestroyWindow(m_hwnd); }

  HWND hwnd() const { return m_hwnd; }
  // Dispatches what has arrived and returns how many WM_CLOSE came so far.
  int Closes() {
    MSG msg;
    while (PeekMessageW(&msg, m_hwnd, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
    return m_closes;
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
      reinterpret_cast<CloseCounter*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))->m_closes++;
      return 0;  // counted, not closed
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  HWND m_hwnd = nullptr;
  int m_closes = 0;
};

// A process that plays the game: this test program started suspended, so it never runs; the test
// ends it with the exit code it wants.
class GameProcess {
 public:
  GameProcess() {
    m_child.Start(zarvik_test::OwnProgramPath(), L"--gtest_list_tests", CREATE_SUSPENDED);
  }
  bool IsRunning() const { return m_child.process() != nullptr; }
  DWORD pid() const { return m_child.id(); }
  void End(UINT exitCode) { m_child.Kill(exitCode); }
  // Ends the game and lets go of it, as a game ends that nobody else holds open: the exit code
  // then lives only as long as the watcher's own handle.
  void EndAndForget(UINT exitCode) {
    End(exitCode);
    m_child.Forget();
  }

 private:
  zarvik_test::ChildProcess m_child;
};

// Waits (up to a limit that only guards against a hang) for a watcher thread to end by itself.
bool ThreadEnds(HANDLE thread) {
  return WaitForSingleObject(thread, 15000) == WAIT_OBJECT_0;
}

class GameWatcherTest : public testing::Test {
 protected:
  // Starts a watcher and opens its thread so the test can wait for it.
  HANDLE StartWatch(CGameWatcher& watcher, DWORD pid, DWORD& threadId) {
    EXPECT_TRUE(watcher.Start(m_window.hwnd(), pid, threadId));
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, threadId);
    EXPECT_NE(thread, nullptr);
    m_threads.push_back(thread);
    return thread;
  }
  void TearDown() override {
    for (HANDLE thread : m_threads)
      CloseHandle(thread);
  }

  LogCapture m_log;
  CloseCounter m_window;
  std::vector<HANDLE> m_threads;
};

TEST_F(GameWatcherTest, GameEndingClosesTheWindowOnceWithTheReport) {
  GameProcess game;
  ASSERT_TRUE(game.IsRunning());
  CGameWatcher watcher;
  DWORD threadId = 0;
  HANDLE thread = StartWatch(watcher, game.pid(), threadId);
  EXPECT_NE(threadId, 0u);

  // While the game runs the watcher polls quietly.
  Sleep(1500);
  EXPECT_EQ(m_window.Closes(), 0);
  EXPECT_TRUE(m_log.Entries().empty());
  EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  const DWORD gamePid = game.pid();
  game.EndAndForget(3);
  ASSERT_TRUE(ThreadEnds(thread));
  EXPECT_EQ(m_window.Closes(), 1);
  std::vector<std::string> messages = m_log.Messages();
  ASSERT_EQ(messages.size(), 2u);
  std::smatch match;
  ASSERT_TRUE(
      std::regex_match(messages[0], match,
                       std::regex("([0-9A-F]+) the game \\(pid:" + std::to_string(gamePid) +
                                  "\\) had died\\. exit code = 3")))
      << messages[0];
  EXPECT_NE(match[1].str(), "0") << "the report shows the open handle";
  EXPECT_EQ(messages[1], kDiedText);
  for (const auto& entry : m_log.Entries())
    EXPECT_EQ(entry.level, "INFO");
}

TEST_F(GameWatcherTest, ProcessThatCannotBeOpenedCountsAsEndedAtOnce) {
  struct Row {
    DWORD pid;
    const char* report;
  };
  const Row rows[] = {
      {0x7FFFFFF0, "0 the game (pid:2147483632) had died. exit code = 0"},
      {0xFFFFFFF0, "0 the game (pid:-16) had died. exit code = 0"},  // written as "%d" does
  };
  int closes = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.report);
    m_log.Clear();
    CGameWatcher watcher;
    DWORD threadId = 0;
    ASSERT_TRUE(ThreadEnds(StartWatch(watcher, row.pid, threadId)));
    EXPECT_EQ(m_window.Closes(), ++closes);
    EXPECT_EQ(m_log.Messages(), (std::vector<std::string>{row.report, kDiedText}));
  }
}

TEST_F(GameWatcherTest, StopEndsAWaitingWatcherAndNothingIsPostedAfterIt) {
  GameProcess game;
  ASSERT_TRUE(game.IsRunning());
  CGameWatcher watcher;
  DWORD threadId = 0;
  HANDLE thread = StartWatch(watcher, game.pid(), threadId);
  Sleep(300);  // let it reach its pause
  watcher.Stop(threadId);
  ASSERT_TRUE(ThreadEnds(thread)) << "a stopped watcher ends without the game ending";
  game.End(3);
  Sleep(1200);  // longer than one poll: a watcher still running would now report
  EXPECT_EQ(m_window.Closes(), 0);
  EXPECT_TRUE(m_log.Entries().empty());
  watcher.Stop(threadId);  // stopping again, or an unknown id, does nothing
  watcher.Stop(0);
}

TEST_F(GameWatcherTest, EachStartIsOneMoreWatcherAndStopEndsOnlyTheNewest) {
  GameProcess game;
  ASSERT_TRUE(game.IsRunning());
  CGameWatcher watcher;
  DWORD gameThreadId = 0;
  HANDLE first = StartWatch(watcher, game.pid(), gameThreadId);
  DWORD firstId = gameThreadId;
  HANDLE second = StartWatch(watcher, game.pid(), gameThreadId);
  EXPECT_NE(gameThreadId, firstId) << "the thread id names the newest watcher";

  watcher.Stop(gameThreadId);
  ASSERT_TRUE(ThreadEnds(second));
  EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  game.EndAndForget(5);
  ASSERT_TRUE(ThreadEnds(first));
  EXPECT_EQ(m_window.Closes(), 1) << "only the watcher still running reports";
  std::vector<std::string> messages = m_log.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[0].find("had died. exit code = 5"), std::string::npos) << messages[0];
}

TEST_F(GameWatcherTest, DestroyingTheWatcherStopsItsThreads) {
  GameProcess game;
  ASSERT_TRUE(game.IsRunning());
  HANDLE thread;
  {
    CGameWatcher watcher;
    DWORD threadId = 0;
    thread = StartWatch(watcher, game.pid(), threadId);
  }
  ASSERT_TRUE(ThreadEnds(thread));
  game.End(0);
  EXPECT_EQ(m_window.Closes(), 0);
  EXPECT_TRUE(m_log.Entries().empty());
}

TEST(GameDiedReport, FormatsHandleInHexAndNumbersAsSigned) {
  EXPECT_EQ(zarvik::FormatGameDiedReport(reinterpret_cast<HANDLE>(0x1A4), 4242, 3),
            "1A4 the game (pid:4242) had died. exit code = 3");
  EXPECT_EQ(zarvik::FormatGameDiedReport(nullptr, 7, 0xC0000005),
            "0 the game (pid:7) had died. exit code = -1073741819");
}

}  // namespace
