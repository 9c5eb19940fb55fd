// The main window's side of the join result record: the value the page reads back after a join.
#include "ui/join_result_record.h"

#include <gtest/gtest.h>

#include "bridge/common/bridge_messages.h"
#include "bridge/renderer/join_result_reader.h"
#include "support/log_capture.h"

namespace {

TEST(JoinResultRecord, StoredValueIsWhatThePageReads) {
  HANDLE mapping = nullptr;
  for (int value : {0, -3, 110, kJoinResultUnavailable - 1}) {
    SCOPED_TRACE(value);
    StoreJoinResult(mapping, value);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(ReadJoinResult(kJoinResultMappingName), value);
  }
  CloseHandle(mapping);
}

TEST(JoinResultRecord, MappingThatCannotBeCreatedLeavesThePageWithUnavailable) {
  // Another object already holds the record's name: the mapping cannot be made. The window logs
  // it, keeps no handle, and the page hears "unavailable" rather than an old or random value.
  HANDLE squatter = CreateMutexW(nullptr, FALSE, kJoinResultMappingName);
  ASSERT_NE(squatter, nullptr);
  zarvik_test::LogCapture log;
  HANDLE mapping = nullptr;
  StoreJoinResult(mapping, 7);
  EXPECT_EQ(mapping, nullptr);
  EXPECT_TRUE(log.HasError("CreateFileMapping Error"));
  EXPECT_EQ(ReadJoinResult(kJoinResultMappingName), kJoinResultUnavailable);
  // Once the name is free again the next join stores normally.
  CloseHandle(squatter);
  StoreJoinResult(mapping, 7);
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(ReadJoinResult(kJoinResultMappingName), 7);
  CloseHandle(mapping);
}

}  // namespace
