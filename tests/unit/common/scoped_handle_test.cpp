// The handle owners close what they own exactly once, hand it over on a move and leave it open
// after Release; the selection guard puts the DC's previous object back.
#include "common/scoped_handle.h"

#include <gtest/gtest.h>

#include <utility>

#include "support/temp_dir.h"

namespace {

bool KernelHandleOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(ScopedHandleTest, ClosesOnceAndFollowsItsOwner) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  {
    zarvik::ScopedHandle first(event);
    zarvik::ScopedHandle second(std::move(first));
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(second.Get(), event);
    EXPECT_TRUE(KernelHandleOpen(event));
  }
  EXPECT_FALSE(KernelHandleOpen(event));

  HANDLE kept = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  { zarvik::ScopedHandle owner(kept); EXPECT_EQ(owner.Release(), kept); }
  EXPECT_TRUE(KernelHandleOpen(kept));
  CloseHandle(kept);

  // Neither "nothing" value is ever passed to CloseHandle.
  zarvik::ScopedHandle none(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(none.IsValid());
  zarvik::ScopedFileHandle noFile;
  EXPECT_EQ(noFile.Get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(noFile.IsValid());
}

TEST(ScopedHandleTest, MoveAssignmentClosesWhatWasHeldBefore) {
  HANDLE a = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE b = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  zarvik::ScopedHandle owner(a);
  zarvik::ScopedHandle other(b);
  owner = std::move(other);
  EXPECT_FALSE(KernelHandleOpen(a));
  EXPECT_EQ(owner.Get(), b);
  owner.Reset();
  EXPECT_FALSE(KernelHandleOpen(b));
}

TEST(ScopedHandleTest, GdiObjectsAndSelectionsAreGivenBack) {
  zarvik::ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BITMAP);
  HBITMAP raw = nullptr;
  {
    zarvik::ScopedBitmap bitmap(CreateCompatibleBitmap(dc.Get(), 8, 8));
    ASSERT_TRUE(bitmap);
    raw = bitmap.Get();
    {
      zarvik::ScopedSelectObject select(dc.Get(), bitmap.Get());
      EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), raw);
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), original);
    EXPECT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_BITMAP));
  }
  EXPECT_EQ(GetObjectType(raw), 0u);
}

TEST(ScopedHandleTest, MappedViewIsUnmapped) {
  zarvik::ScopedHandle mapping(
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr));
  ASSERT_TRUE(mapping);
  void* raw = nullptr;
  {
    zarvik::ScopedMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, 4));
    ASSERT_TRUE(view);
    raw = view.Get();
    static_cast<char*>(raw)[0] = 1;
  }
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_NE(VirtualQuery(raw, &info, sizeof info), 0u);
  EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
}

TEST(ScopedHandleTest, StdioFileIsClosedAndItsBufferWrittenOut) {
  zarvik_test::TempDir dir;
  const std::wstring path = dir.File(L"buffered.bin");
  {
    zarvik::ScopedStdioFile file(_wfopen(path.c_str(), L"wb"));
    ASSERT_TRUE(file);
    // Three bytes stay in the stream's buffer until the stream is closed.
    ASSERT_EQ(fwrite("abc", 1, 3, file.Get()), 3u);
  }
  EXPECT_EQ(zarvik_test::ReadFileBytes(path), "abc");
  // Closed, so nothing holds the file any more.
  EXPECT_TRUE(DeleteFileW(path.c_str()));

  zarvik::ScopedStdioFile none;
  EXPECT_FALSE(none);
}

}  // namespace
