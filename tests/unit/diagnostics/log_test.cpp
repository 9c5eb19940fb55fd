#include "diagnostics/log.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "common/encoding.h"
#include "support/temp_dir.h"

namespace {

using zarvik_test::ReadFileBytes;
using zarvik_test::TempDir;

class LogTest : public testing::Test {
 protected:
  void TearDown() override { CLog::Destroy(); }
  TempDir m_dir;
};

TEST(LogFormat, TimestampHasThreeDigitSeconds) {
  EXPECT_EQ(zarvik::FormatLogTimestamp(2021, 3, 5, 14, 7, 9), "2021.03.05 14:07:009 ");
  EXPECT_EQ(zarvik::FormatLogTimestamp(2026, 12, 31, 0, 0, 59), "2026.12.31 00:00:059 ");
  EXPECT_STREQ(zarvik::LogLevelTag(INFO), "[INFO]:");
  EXPECT_STREQ(zarvik::LogLevelTag(ERROR), "[ERROR]:");
}

TEST_F(LogTest, LinesAreLaidOutByteForByte) {
  std::wstring path = m_dir.File(L"sub\\dir\\zarvik.log");  // missing folders are created
  ASSERT_NE(CLog::Instance(zarvik::WideToAnsi(path), true), nullptr);
  LogLine(INFO, "start zarvik...");
  LogLine(ERROR, "code : ", 183, " text ", std::string("piece"));
  CLog::Destroy();

  std::string pid = std::to_string(GetCurrentProcessId());
  std::regex layout("\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{3} \\[" + pid +
                    "\\]\\[INFO\\]:start zarvik\\.\\.\\.\r\n"
                    "\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{3} \\[" + pid +
                    "\\]\\[ERROR\\]:code : 183 text piece\r\n");
  std::string content = ReadFileBytes(path);
  EXPECT_TRUE(std::regex_match(content, layout)) << content;
}

TEST_F(LogTest, NothingWrittenWithoutOrAfterInstance) {
  LogLine(INFO, "before");  // no instance: no effect, no crash
  EXPECT_EQ(CLog::Instance(), nullptr);
  EXPECT_EQ(CLog::Instance(std::string(), true), nullptr) << "an empty path creates nothing";

  std::string path = zarvik::WideToAnsi(m_dir.File(L"zarvik.log"));
  CLog* log = CLog::Instance(path, true);
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(CLog::Instance(zarvik::WideToAnsi(m_dir.File(L"other.log")), true), log);
  LogLine(INFO, "during");
  CLog::Destroy();
  LogLine(INFO, "after");

  std::string content = ReadFileBytes(m_dir.File(L"zarvik.log"));
  EXPECT_EQ(content.find("before"), std::string::npos);
  EXPECT_NE(content.find("during"), std::string::npos);
  EXPECT_EQ(content.find("after"), std::string::npos);
  EXPECT_EQ(GetFileAttributesW(m_dir.File(L"other.log").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(LogTest, AppendsAcrossInstancesAndToleratesBadDirectory) {
  std::string path = zarvik::WideToAnsi(m_dir.File(L"zarvik.log"));
  CLog::Instance(path, true);
  LogLine(INFO, "first run");
  CLog::Destroy();
  CLog::Instance(path, true);
  LogLine(INFO, "second run");
  CLog::Destroy();
  std::string content = ReadFileBytes(m_dir.File(L"zarvik.log"));
  EXPECT_NE(content.find("first run"), std::string::npos);
  EXPECT_NE(content.find("second run"), std::string::npos);

  // A path that cannot be opened still gives an instance whose lines are dropped.
  CLog* bad = CLog::Instance("Q:\\no\\such\\drive\\zarvik.log", true);
  ASSERT_NE(bad, nullptr);
  EXPECT_FALSE(bad->IsOpen());
  LogLine(ERROR, "dropped");
}

TEST_F(LogTest, ConcurrentWritersKeepWholeLines) {
  std::wstring path = m_dir.File(L"zarvik.log");
  CLog::Instance(zarvik::WideToAnsi(path), true);
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < 200; ++i)
        LogLine(INFO, "writer ", t, " line ", i, " end");
    });
  }
  for (auto& writer : writers)
    writer.join();
  CLog::Destroy();

  std::string content = ReadFileBytes(path);
  std::regex line("[^\r\n]*\\[INFO\\]:writer \\d line \\d+ end\r\n");
  size_t lines = 0;
  for (std::sregex_iterator it(content.begin(), content.end(), line), end; it != end; ++it)
    ++lines;
  EXPECT_EQ(lines, 800u);
  EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 800);
}

// A second process appending to the same file while this one holds it open.
TEST_F(LogTest, SharedWithAnotherWriter) {
  std::wstring path = m_dir.File(L"zarvik.log");
  CLog::Instance(zarvik::WideToAnsi(path), true);
  LogLine(INFO, "ours");
  HANDLE other = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE) << "the log must be shared for writing";
  DWORD written = 0;
  WriteFile(other, "theirs\r\n", 8, &written, nullptr);
  CloseHandle(other);
  LogLine(INFO, "ours again");
  CLog::Destroy();
  std::string content = ReadFileBytes(path);
  EXPECT_NE(content.find("theirs\r\n"), std::string::npos);
  EXPECT_NE(content.find("ours again"), std::string::npos);
}

TEST(LogSizeLimit, DeletedAtLimitKeptBelow) {
  struct Row {
    uint64_t size;
    bool kept;
  } rows[] = {{104857599, true}, {104857600, false}, {104857601, false}, {0, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    TempDir dir;
    std::wstring path = dir.File(L"zarvik.log");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(row.size);
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);

    std::string ansiPath = PrepareLogFile(dir.path());
    EXPECT_EQ(ansiPath, zarvik::WideToAnsi(path));
    EXPECT_EQ(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES, row.kept);
  }
}

}  // namespace
