#include "diagnostics/trace.h"

#include <gtest/gtest.h>
#include <json/json.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/trace_format.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using zarvik::TraceEvent;
namespace trace = zarvik::trace;

std::vector<std::string> SplitLines(const std::string& text) {
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

// One event line as a JSON value; fails the test when it is not an object followed by a comma.
Json::Value ParseEventLine(const std::string& line) {
  Json::Value value;
  EXPECT_GE(line.size(), 2u);
  EXPECT_EQ(line.back(), ',') << line;
  std::string object = line.substr(0, line.size() - 1);
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  EXPECT_TRUE(reader->parse(object.data(), object.data() + object.size(), &value, &errors))
      << errors << " in " << line;
  EXPECT_TRUE(value.isObject()) << line;
  return value;
}

std::wstring Env(const wchar_t* name) {
  wchar_t value[1024] = {};
  GetEnvironmentVariableW(name, value, 1024);
  return value;
}

TEST(TraceFormat, EventsAreOneJsonLineEach) {
  struct Case {
    TraceEvent event;
    const char* line;
  } cases[] = {
      {{TraceEvent::kComplete, "update course", 1500, 250, 7, 9, ""},
       "{\"name\":\"update course\",\"cat\":\"zarvik\",\"ph\":\"X\",\"ts\":1500,\"dur\":250,"
       "\"pid\":7,\"tid\":9},\n"},
      // A clock that went back gives an empty step, never a negative one.
      {{TraceEvent::kComplete, "step", 1500, -3, 7, 9, ""},
       "{\"name\":\"step\",\"cat\":\"zarvik\",\"ph\":\"X\",\"ts\":1500,\"dur\":0,\"pid\":7,"
       "\"tid\":9},\n"},
      {{TraceEvent::kInstant, "message loop", 123456789012LL, 0, 1, 2, ""},
       "{\"name\":\"message loop\",\"cat\":\"zarvik\",\"ph\":\"i\",\"s\":\"t\","
       "\"ts\":123456789012,\"pid\":1,\"tid\":2},\n"},
      {{TraceEvent::kComplete, "page request", 5, 6, 1, 2, "http://h/a?b=\"c\""},
       "{\"name\":\"page request\",\"cat\":\"zarvik\",\"ph\":\"X\",\"ts\":5,\"dur\":6,\"pid\":1,"
       "\"tid\":2,\"args\":{\"detail\":\"http://h/a?b=\\\"c\\\"\"}},\n"},
      {{TraceEvent::kProcessName, "zarvik browser", 99, 0, 4294967295u, 3, "ignored"},
       "{\"name\":\"process_name\",\"ph\":\"M\",\"pid\":4294967295,\"tid\":3,"
       "\"args\":{\"name\":\"zarvik browser\"}},\n"},
      {{TraceEvent::kThreadName, "main", 0, 0, 4, 5, ""},
       "{\"name\":\"thread_name\",\"ph\":\"M\",\"pid\":4,\"tid\":5,\"args\":{\"name\":\"main\"}},"
       "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string line = zarvik::FormatTraceEvent(c.event);
    EXPECT_EQ(line, c.line);
    ParseEventLine(line.substr(0, line.size() - 1));
  }
}

TEST(TraceFormat, TextsAreEscapedSoEveryLineStaysJson) {
  struct Case {
    std::string text;
    const char* escaped;
  } cases[] = {
      {"plain", "plain"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"C:\\zarvik\\trace.json", "C:\\\\zarvik\\\\trace.json"},
      {"two\nlines\r\tend", "two\\nlines\\r\\tend"},
      {std::string("nul\0x", 5), "nul\\u0000x"},
      {"\x01\x1f\x7f", "\\u0001\\u001f\\u007f"},
      {"\xe5\xa3\xb0\xe5\x8d\xa1", "\xe5\xa3\xb0\xe5\x8d\xa1"},  // UTF-8 passes untouched
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.escaped);
    EXPECT_EQ(zarvik::EscapeTraceText(c.text), c.escaped);
    // As a name and as a detail, the line parses back to the same text.
    TraceEvent event{TraceEvent::kComplete, c.text, 1, 2, 3, 4, c.text};
    const std::string line = zarvik::FormatTraceEvent(event);
    Json::Value value = ParseEventLine(line.substr(0, line.size() - 1));
    EXPECT_EQ(value["name"].asString(), c.text);
    EXPECT_EQ(value["args"]["detail"].asString(), c.text);
  }
}

// The trace module reads the variable of this process: each test sets or clears it and resets
// the module, and leaves both clean.
class TraceTest : public testing::Test {
 protected:
  void SetUp() override { m_saved = Env(trace::kTraceVariable); }
  void TearDown() override {
    SetEnvironmentVariableW(trace::kTraceVariable, m_saved.empty() ? nullptr : m_saved.c_str());
    trace::ResetForTesting(nullptr);
  }
  static void* CountingOpener(const wchar_t*, bool* created) {
    ++s_opened;
    *created = false;
    return INVALID_HANDLE_VALUE;
  }
  static void EmitEverything() {
    trace::NameProcess("zarvik browser");
    trace::NameThread("main");
    trace::SinceProcessStart("process start");
    { trace::Span span("update course"); }
    trace::Instant("message loop", "detail");
    trace::Complete("window shown", trace::Now(), trace::Now());
  }

  zarvik_test::TempDir m_dir;
  std::wstring m_saved;
  static int s_opened;
};
int TraceTest::s_opened = 0;

TEST_F(TraceTest, WithoutTheVariableNothingIsOpenedOrWritten) {
  for (const wchar_t* value : {static_cast<const wchar_t*>(nullptr), L""}) {
    SCOPED_TRACE(value ? "empty variable" : "no variable");
    SetEnvironmentVariableW(trace::kTraceVariable, value);
    s_opened = 0;
    trace::ResetForTesting(&CountingOpener);
    EmitEverything();
    EXPECT_FALSE(trace::On());
    EXPECT_EQ(s_opened, 0);
  }
  // The same calls with the variable set do open the file, once.
  SetEnvironmentVariableW(trace::kTraceVariable, m_dir.File(L"t.json").c_str());
  s_opened = 0;
  trace::ResetForTesting(&CountingOpener);
  EmitEverything();
  EXPECT_TRUE(trace::On());
  EXPECT_EQ(s_opened, 1);
}

TEST_F(TraceTest, EventsGoToTheNamedFileAsTraceLines) {
  const std::wstring path = m_dir.File(L"start-up trace.json");
  SetEnvironmentVariableW(trace::kTraceVariable, path.c_str());
  trace::ResetForTesting(nullptr);
  const int64_t before = trace::Now();
  EmitEverything();
  const int64_t after = trace::Now();
  trace::ResetForTesting(nullptr);  // closes the file

  std::vector<std::string> lines = SplitLines(zarvik_test::ReadFileBytes(path));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "[");
  std::vector<std::string> names;
  for (size_t i = 1; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    Json::Value e = ParseEventLine(lines[i]);
    EXPECT_EQ(e["pid"].asUInt(), GetCurrentProcessId());
    EXPECT_EQ(e["tid"].asUInt(), GetCurrentThreadId());
    const std::string ph = e["ph"].asString();
    names.push_back(ph == "M" ? e["args"]["name"].asString() : e["name"].asString());
    if (ph == "X" && e["name"].asString() != "process start") {
      EXPECT_GE(e["ts"].asInt64(), before);
      EXPECT_LE(e["ts"].asInt64() + e["dur"].asInt64(), after);
    }
    if (e["name"].asString() == "process start") {
      // From this process's creation, which came before the test began, up to the call.
      EXPECT_LT(e["ts"].asInt64(), before);
      EXPECT_GE(e["ts"].asInt64() + e["dur"].asInt64(), before);
      EXPECT_LE(e["ts"].asInt64() + e["dur"].asInt64(), after);
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"zarvik browser", "main", "process start",
                                             "update course", "message loop", "window shown"}));
}

TEST_F(TraceTest, AnExistingFileIsAppendedToWithoutASecondHead) {
  const std::wstring path = m_dir.File(L"t.json");
  ASSERT_TRUE(zarvik_test::WriteFileBytes(path, "[\n{\"name\":\"earlier\",\"ph\":\"i\"},\n"));
  SetEnvironmentVariableW(trace::kTraceVariable, path.c_str());
  trace::ResetForTesting(nullptr);
  trace::Instant("later");
  trace::ResetForTesting(nullptr);
  std::vector<std::string> lines = SplitLines(zarvik_test::ReadFileBytes(path));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "[");
  EXPECT_EQ(lines[1], "{\"name\":\"earlier\",\"ph\":\"i\"},");
  EXPECT_EQ(ParseEventLine(lines[2])["name"].asString(), "later");
}

TEST_F(TraceTest, AFileThatCannotBeOpenedLeavesTheProcessRunning) {
  // A folder that does not exist: no file, no events, no crash.
  const std::wstring path = m_dir.File(L"missing\\t.json");
  SetEnvironmentVariableW(trace::kTraceVariable, path.c_str());
  trace::ResetForTesting(nullptr);
  EmitEverything();
  EXPECT_TRUE(trace::On());
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

constexpr int kEventsPerThread = 150;

void WriteNumberedEvents() {
  for (int i = 0; i < kEventsPerThread; ++i)
    trace::Complete("numbered", trace::Now(), trace::Now(), std::to_string(i));
}

// Run only as a child of ProcessesAppendWholeLines (see below): two threads of numbered events.
TEST(TraceChild, DISABLED_WriteNumberedEvents) {
  ASSERT_TRUE(trace::On());
  std::thread other(WriteNumberedEvents);
  WriteNumberedEvents();
  other.join();
}

TEST_F(TraceTest, ProcessesAppendWholeLinesInEachThreadsOrder) {
  const std::wstring path = m_dir.File(L"shared.json");
  SetEnvironmentVariableW(trace::kTraceVariable, path.c_str());  // the children inherit it
  trace::ResetForTesting(nullptr);
  trace::NameProcess("parent");  // this process creates the file and writes its head
  zarvik_test::ChildProcess children[3];
  for (auto& child : children)
    ASSERT_TRUE(child.Start(zarvik_test::OwnProgramPath(),
                            L"--gtest_filter=TraceChild.DISABLED_WriteNumberedEvents"
                            L" --gtest_also_run_disabled_tests --gtest_brief=1",
                            CREATE_NO_WINDOW));
  WriteNumberedEvents();
  for (auto& child : children)
    ASSERT_EQ(child.WaitForExit(60000), 0u);
  trace::ResetForTesting(nullptr);

  std::vector<std::string> lines = SplitLines(zarvik_test::ReadFileBytes(path));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "[");
  std::map<std::pair<unsigned, unsigned>, int> next;  // per process and thread
  std::map<unsigned, int> perProcess;
  for (size_t i = 1; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    Json::Value e = ParseEventLine(lines[i]);
    if (e["ph"].asString() != "X")
      continue;
    auto key = std::make_pair(e["pid"].asUInt(), e["tid"].asUInt());
    EXPECT_EQ(e["args"]["detail"].asString(), std::to_string(next[key]));
    ++next[key];
    ++perProcess[key.first];
  }
  EXPECT_EQ(next.size(), 7u);  // this thread and two threads in each child
  ASSERT_EQ(perProcess.size(), 4u);
  for (const auto& process : perProcess)
    EXPECT_EQ(process.second,
              process.first == GetCurrentProcessId() ? kEventsPerThread : 2 * kEventsPerThread);
}

}  // namespace
