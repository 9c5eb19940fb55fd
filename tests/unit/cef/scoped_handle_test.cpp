// The engine's handle owners close what they own exactly once, hand it over on a move, leave it
// open after Release, and put a DC's previous object back.
#include "src/common/scoped_handle.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

bool KernelHandleOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(EngineScopedHandleTest, KernelAndFileHandlesCloseOnceAndFollowTheirOwner) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  {
    cefimpl::ScopedHandle first(event);
    cefimpl::ScopedHandle second(std::move(first));
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(second.Get(), event);
    EXPECT_TRUE(KernelHandleOpen(event));
  }
  EXPECT_FALSE(KernelHandleOpen(event));

  // A pipe end, as the renderer's pipes are held: move-assigning closes what was held before.
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  cefimpl::ScopedFileHandle end(read);
  end = cefimpl::ScopedFileHandle(write);
  EXPECT_FALSE(KernelHandleOpen(read));
  EXPECT_TRUE(KernelHandleOpen(write));
  EXPECT_EQ(end.Release(), write);
  EXPECT_FALSE(end.IsValid());
  EXPECT_TRUE(KernelHandleOpen(write));
  CloseHandle(write);

  // Neither "nothing" value counts as a handle, whichever kind of owner holds it.
  struct Case {
    const char* name;
    bool valid;
  } cases[] = {
      {"kernel owner, null", cefimpl::ScopedHandle(nullptr).IsValid()},
      {"kernel owner, INVALID_HANDLE_VALUE", cefimpl::ScopedHandle(INVALID_HANDLE_VALUE).IsValid()},
      {"file owner, default", cefimpl::ScopedFileHandle().IsValid()},
      {"file owner, null", cefimpl::ScopedFileHandle(nullptr).IsValid()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(c.valid);
  }
  EXPECT_EQ(cefimpl::ScopedFileHandle().Get(), INVALID_HANDLE_VALUE);
}

TEST(EngineScopedHandleTest, PaintObjectsAndSelectionsAreGivenBack) {
  cefimpl::ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  HGDIOBJ originalBitmap = GetCurrentObject(dc.Get(), OBJ_BITMAP);
  HGDIOBJ originalFont = GetCurrentObject(dc.Get(), OBJ_FONT);
  HBITMAP rawBitmap = nullptr;
  HFONT rawFont = nullptr;
  {
    cefimpl::ScopedBitmap bitmap(CreateCompatibleBitmap(dc.Get(), 8, 8));
    cefimpl::ScopedFont font(CreateFontW(-16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, DEFAULT_PITCH, L"Arial"));
    ASSERT_TRUE(bitmap);
    ASSERT_TRUE(font);
    rawBitmap = bitmap.Get();
    rawFont = font.Get();
    {
      cefimpl::ScopedSelectObject selectBitmap(dc.Get(), bitmap.Get());
      cefimpl::ScopedSelectObject selectFont(dc.Get(), font.Get());
      EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), rawBitmap);
      EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_FONT), rawFont);
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), originalBitmap);
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_FONT), originalFont);
    EXPECT_EQ(GetObjectType(rawBitmap), static_cast<DWORD>(OBJ_BITMAP));
  }
  EXPECT_EQ(GetObjectType(rawBitmap), 0u);
  EXPECT_EQ(GetObjectType(rawFont), 0u);

  HDC rawDc = dc.Get();
  dc.Reset();
  EXPECT_EQ(GetObjectType(rawDc), 0u);
}

TEST(EngineScopedHandleTest, MenusAndSystemMemoryAreFreed) {
  HMENU raw = CreatePopupMenu();
  ASSERT_NE(raw, nullptr);
  { cefimpl::ScopedMenu menu(raw); EXPECT_TRUE(IsMenu(raw)); }
  EXPECT_FALSE(IsMenu(raw));

  // A movable block is known by its handle, which LocalFlags no longer recognises once freed.
  HLOCAL memory = LocalAlloc(LMEM_MOVEABLE, 64);
  ASSERT_NE(memory, nullptr);
  { cefimpl::ScopedLocalMemory<void*> owner(memory); EXPECT_NE(LocalSize(memory), 0u); }
  EXPECT_EQ(LocalFlags(memory), static_cast<UINT>(LMEM_INVALID_HANDLE));
}

}  // namespace
