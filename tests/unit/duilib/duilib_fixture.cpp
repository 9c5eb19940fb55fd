#include "duilib_fixture.h"

namespace duilib_test {

namespace {

void CALLBACK CollectLog(LPCTSTR text) {
  LoggedLines().push_back(text);
}

uint32_t TwoHalves(int x, int, void*) {
  return x < 10 ? kNormal : kOther;
}

}  // namespace

std::vector<std::wstring>& LoggedLines() {
  static std::vector<std::wstring> lines;
  return lines;
}

bool LogMentions(const std::wstring& text) {
  for (const std::wstring& line : LoggedLines())
    if (line.find(text) != std::wstring::npos)
      return true;
  return false;
}

HWND TestWindow::CreateAt(int cx, int cy, DWORD style) {
  // Away from the pointer in the middle of the screen, so the real mouse does not interfere.
  return Create(nullptr, L"test", style, 0, 0, 0, cx, cy);
}

void TestWindow::Notify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == L"click")
    clicks.push_back(msg);
}

LRESULT TestWindow::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  messages.push_back(uMsg);
  return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

Snapshot::Snapshot(HWND hWnd) {
  RECT rc;
  GetClientRect(hWnd, &rc);
  m_width = rc.right;
  m_height = rc.bottom;
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = m_width;
  bmi.bmiHeader.biHeight = -m_height;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  m_bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  m_bits = static_cast<uint32_t*>(bits);
  m_dc = CreateCompatibleDC(nullptr);
  m_old = SelectObject(m_dc, m_bitmap);
  for (int i = 0; i < m_width * m_height; ++i)
    m_bits[i] = 0x00FF00FF;  // magenta: not painted
  SendMessageW(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(m_dc), PRF_CLIENT);
  GdiFlush();
}

Snapshot::~Snapshot() {
  SelectObject(m_dc, m_old);
  DeleteDC(m_dc);
  DeleteObject(m_bitmap);
}

uint32_t Snapshot::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height)
    return 0xFFFFFFFF;
  return m_bits[y * m_width + x] & 0x00FFFFFF;
}

void CollectLibraryLog() {
  LoggedLines().clear();
  if (!zarvik::RouteUiLibraryLog(CollectLog))
    ADD_FAILURE() << "duilib.dll offers no log route";
}

void SkinTest::SetUp() {
  CollectLibraryLog();
  DuiLib::CPaintManagerUI::SetResourcePath(m_dir.path().c_str());
  DuiLib::CPaintManagerUI::SetResourceZip(L"test.ui", false);
}

void SkinTest::TearDown() {
  DuiLib::CPaintManagerUI::SetResourceZip(L"", false);
  DuiLib::CPaintManagerUI::SetResourcePath(L"");
  zarvik::RouteUiLibraryLog(nullptr);
}

void SkinTest::WriteArchive(const zarvik_test::ZipEntries& skins) {
  zarvik_test::ZipEntries entries = skins;
  entries.push_back({"bg.png", zarvik_test::SolidPng(8, 8, kBackground)});
  entries.push_back({"normal.png", zarvik_test::SolidPng(20, 20, kNormal)});
  entries.push_back({"hot.png", zarvik_test::SolidPng(20, 20, kHot)});
  entries.push_back({"pushed.png", zarvik_test::SolidPng(20, 20, kPushed)});
  entries.push_back({"band.png", zarvik_test::SolidPng(4, 4, kBand)});
  entries.push_back({"other.png", zarvik_test::SolidPng(4, 4, kOther)});
  entries.push_back({"images/bar.png", zarvik_test::SolidPng(264, 22, kBar)});
  entries.push_back({"halves.png", zarvik_test::MakePng(20, 10, TwoHalves)});
  ASSERT_TRUE(zarvik_test::WriteSkinZip(m_dir.File(L"test.ui"), entries));
}

LPARAM Point(int x, int y) {
  return MAKELPARAM(x, y);
}

}  // namespace duilib_test
