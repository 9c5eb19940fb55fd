// A skin archive made in the test, a window built from it, and pixels read back from a DIB.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/skin_zip.h"
#include "support/temp_dir.h"
#include "toolkit/ui_library.h"

namespace duilib_test {

// Colours of the test images (opaque ARGB).
constexpr uint32_t kBackground = 0xFF202020;
constexpr uint32_t kNormal = 0xFFC00000;
constexpr uint32_t kHot = 0xFF00C000;
constexpr uint32_t kPushed = 0xFF0000C0;
constexpr uint32_t kBand = 0xFFC0C000;
constexpr uint32_t kOther = 0xFF00C0C0;
constexpr uint32_t kBar = 0xFFE08000;

// Everything the library reported through its log.
std::vector<std::wstring>& LoggedLines();
bool LogMentions(const std::wstring& text);
// Clears the lines and routes the library's log into them.
void CollectLibraryLog();

// Window built from a skin file; records its messages and notifications.
class TestWindow : public DuiLib::WindowImplBase {
 public:
  explicit TestWindow(const wchar_t* skin = L"test.xml") : m_skin(skin) {}

  // At the screen's top-left corner; the default style is a sizable pop-up.
  HWND CreateAt(int cx, int cy, DWORD style = WS_POPUP | WS_VISIBLE | WS_THICKFRAME);
  DuiLib::CPaintManagerUI& Manager() { return m_PaintManager; }
  template <class T>
  T* Find(const wchar_t* name) {
    return static_cast<T*>(m_PaintManager.FindControl(name));
  }

  void Notify(DuiLib::TNotifyUI& msg) override;
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

  std::vector<DuiLib::TNotifyUI> clicks;
  std::vector<UINT> messages;
  bool initWindowCalled = false;

 protected:
  DuiLib::CDuiString GetSkinFolder() override { return L""; }
  DuiLib::CDuiString GetSkinFile() override { return m_skin.c_str(); }
  LPCTSTR GetWindowClassName() const override { return L"DuiTestWindow"; }
  void InitWindow() override { initWindowCalled = true; }

 private:
  std::wstring m_skin;
};

// The client area of a window painted into a 32-bit DIB (WM_PRINTCLIENT).
class Snapshot {
 public:
  explicit Snapshot(HWND hWnd);
  ~Snapshot();
  uint32_t At(int x, int y) const;  // 0x00RRGGBB
  int width() const { return m_width; }
  int height() const { return m_height; }

 private:
  int m_width = 0;
  int m_height = 0;
  HDC m_dc = nullptr;
  HBITMAP m_bitmap = nullptr;
  HGDIOBJ m_old = nullptr;
  uint32_t* m_bits = nullptr;
};

inline uint32_t Rgb(uint32_t argb) {
  return argb & 0x00FFFFFF;
}

// Temporary resource folder with "test.ui" holding the given skins plus the test images.
class SkinTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  void WriteArchive(const zarvik_test::ZipEntries& skins);

  zarvik_test::TempDir m_dir;
};

LPARAM Point(int x, int y);

}  // namespace duilib_test
