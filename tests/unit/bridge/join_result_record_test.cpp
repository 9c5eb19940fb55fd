// The join result record: what the main window stores is what the page's renderer reads, the
// record's owner keeps the mapping alive, and a mapping that cannot be made leaves the page with
// "unavailable".
#include "bridge/common/join_result_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "bridge/common/bridge_messages.h"
#include "support/log_capture.h"

namespace {

// A name of this test's own, so that a running client's record is never touched.
std::wstring TestRecordName(const wchar_t* tag) {
  return L"zarvik-test-join-record-" + std::to_wstring(GetCurrentProcessId()) + L"-" + tag;
}

TEST(JoinResultRecord, StoredValueIsWhatThePageReadsWhileTheRecordLives) {
  const std::wstring name = TestRecordName(L"values");
  EXPECT_EQ(ReadJoinResult(name.c_str()), kJoinResultUnavailable);  // no join handled yet
  {
    JoinResultRecord record(name.c_str());
    EXPECT_FALSE(record.IsOpen());
    for (int value : {0, -3, 110, kJoinResultUnavailable - 1, INT32_MIN}) {
      SCOPED_TRACE(value);
      EXPECT_TRUE(record.Store(value));
      EXPECT_TRUE(record.IsOpen());
      EXPECT_EQ(ReadJoinResult(name.c_str()), value);
    }
  }
  // The record held the only handle: with it gone the page hears "unavailable".
  EXPECT_EQ(ReadJoinResult(name.c_str()), kJoinResultUnavailable);
}

TEST(JoinResultRecord, WritesIntoAMappingThatAlreadyExists) {
  // Left by an earlier browser process that is still running: opened, not replaced.
  const std::wstring name = TestRecordName(L"existing");
  zarvik::ScopedHandle earlier(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                  kJoinResultMappingSize, name.c_str()));
  ASSERT_TRUE(earlier);
  JoinResultRecord record(name.c_str());
  EXPECT_TRUE(record.Store(42));
  zarvik::ScopedMappedView view(MapViewOfFile(earlier.Get(), FILE_MAP_READ, 0, 0, 4));
  ASSERT_TRUE(view);
  EXPECT_EQ(*static_cast<const int32_t*>(view.Get()), 42);
}

TEST(JoinResultRecord, MappingThatCannotBeCreatedLeavesThePageWithUnavailable) {
  // Another object already holds the record's name: the mapping cannot be made. The window logs
  // it, keeps no handle, and the page hears "unavailable" rather than an old or random value.
  const std::wstring name = TestRecordName(L"squatted");
  zarvik::ScopedHandle squatter(CreateMutexW(nullptr, FALSE, name.c_str()));
  ASSERT_TRUE(squatter);
  zarvik_test::LogCapture log;
  JoinResultRecord record(name.c_str());
  EXPECT_FALSE(record.Store(7));
  EXPECT_FALSE(record.IsOpen());
  EXPECT_TRUE(log.HasError("CreateFileMapping Error"));
  EXPECT_EQ(ReadJoinResult(name.c_str()), kJoinResultUnavailable);
  // Once the name is free again the next join stores normally.
  squatter.Reset();
  EXPECT_TRUE(record.Store(7));
  EXPECT_TRUE(record.IsOpen());
  EXPECT_EQ(ReadJoinResult(name.c_str()), 7);
}

}  // namespace
