// Real windows under Wine built from a skin archive made in the test: controls by name and
// point, layout and pixels after attribute changes, hot/pushed images, clicks, focus, tooltips,
// minimum size, modal loop and message loop.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "duilib_fixture.h"

namespace duilib_test {
namespace {

using DuiLib::CButtonUI;
using DuiLib::CContainerUI;
using DuiLib::CControlUI;
using DuiLib::CProgressUI;
using DuiLib::CRichEditUI;

const char kTestSkin[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300" caption="0,0,0,40" roundcorner="6,6" mininfo="200,150">
  <Font id="0" name="Tahoma" size="12" default="true"/>
  <VerticalLayout name="root" bkimage="bg.png">
    <HorizontalLayout name="band" height="40" inset="0,10,10,10" bkimage="band.png">
      <Label name="title" text="Title" textcolor="#FFFFFFFF" font="0"/>
      <Button name="ok" width="20" height="20" normalimage="normal.png" hotimage="hot.png"
              pushedimage="pushed.png" tooltip="Press me"/>
    </HorizontalLayout>
    <VerticalLayout name="body" inset="20,20,20,20">
      <Progress name="bar" width="264" height="22" bkcolor="#FF404040"/>
      <RichEdit name="edit" height="24" padding="0,10,0,0" bkcolor="#FFFFFFFF"/>
      <Control name="swatch" width="40" height="40" padding="0,10,0,0" bkimage="other.png"/>
    </VerticalLayout>
  </VerticalLayout>
</Window>)";

class WindowTest : public SkinTest {
 protected:
  void SetUp() override {
    SkinTest::SetUp();
    WriteArchive({{"test.xml", kTestSkin}});
    ASSERT_NE(m_wnd.CreateAt(400, 300), nullptr);
    ASSERT_NE(m_wnd.Manager().GetRoot(), nullptr);
  }
  void TearDown() override {
    if (IsWindow(m_wnd.GetHWND()))
      DestroyWindow(m_wnd.GetHWND());
    SkinTest::TearDown();
  }
  void Mouse(UINT message, int x, int y) {
    SendMessageW(m_wnd.GetHWND(), message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, Point(x, y));
  }
  RECT PosOf(const wchar_t* name) {
    Snapshot layout(m_wnd.GetHWND());  // painting lays the tree out
    return m_wnd.Find<CControlUI>(name)->GetPos();
  }

  TestWindow m_wnd;
};

void ExpectRect(const RECT& rc, LONG l, LONG t, LONG r, LONG b) {
  EXPECT_EQ(rc.left, l);
  EXPECT_EQ(rc.top, t);
  EXPECT_EQ(rc.right, r);
  EXPECT_EQ(rc.bottom, b);
}

TEST_F(WindowTest, SkinFromZipGivesControlsWindowPropertiesAndPixels) {
  EXPECT_EQ(m_wnd.messages.at(0), static_cast<UINT>(WM_CREATE));
  EXPECT_TRUE(m_wnd.initWindowCalled);

  struct Row {
    const wchar_t* name;
    const wchar_t* cls;
  } rows[] = {
      {L"ok", L"ButtonUI"},     {L"title", L"LabelUI"},           {L"bar", L"ProgressUI"},
      {L"edit", L"RichEditUI"}, {L"band", L"HorizontalLayoutUI"}, {L"body", L"VerticalLayoutUI"},
      {L"swatch", L"ControlUI"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "control " << row.name);
    CControlUI* control = m_wnd.Find<CControlUI>(row.name);
    ASSERT_NE(control, nullptr);
    EXPECT_STREQ(control->GetClass(), row.cls);
  }
  EXPECT_EQ(m_wnd.Find<CControlUI>(L"nothing"), nullptr);
  EXPECT_NE(m_wnd.Find<CProgressUI>(L"bar")->GetInterface(L"Progress"), nullptr);

  // By point: the deepest visible control under it.
  struct PointRow {
    int x, y;
    const wchar_t* name;
  } points[] = {{380, 20, L"ok"},
                {100, 20, L"title"},
                {30, 70, L"bar"},
                {200, 200, L"body"},
                {30, 140, L"swatch"}};
  for (const PointRow& row : points) {
    SCOPED_TRACE(testing::Message() << row.x << "," << row.y);
    CControlUI* control = m_wnd.Manager().FindControl(POINT{row.x, row.y});
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->GetName(), row.name);
  }
  EXPECT_EQ(m_wnd.Manager().FindControl(POINT{500, 20}), nullptr);

  RECT caption = m_wnd.Manager().GetCaptionRect();
  ExpectRect(caption, 0, 0, 0, 40);
  EXPECT_EQ(m_wnd.Manager().GetRoundCorner().cx, 6);
  EXPECT_EQ(m_wnd.Manager().GetRoundCorner().cy, 6);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(m_wnd.GetHWND(), region), ERROR);  // rounded by WM_SIZE
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_TRUE(PtInRegion(region, 200, 150));
  DeleteObject(region);

  // Caption band drags the window except over the button.
  RECT wr;
  GetWindowRect(m_wnd.GetHWND(), &wr);
  EXPECT_EQ(SendMessageW(m_wnd.GetHWND(), WM_NCHITTEST, 0, Point(wr.left + 100, wr.top + 20)),
            HTCAPTION);
  EXPECT_EQ(SendMessageW(m_wnd.GetHWND(), WM_NCHITTEST, 0, Point(wr.left + 380, wr.top + 20)),
            HTCLIENT);
  EXPECT_EQ(SendMessageW(m_wnd.GetHWND(), WM_NCHITTEST, 0, Point(wr.left + 100, wr.top + 100)),
            HTCLIENT);

  Snapshot shot(m_wnd.GetHWND());
  EXPECT_EQ(shot.At(380, 20), Rgb(kNormal));
  EXPECT_EQ(shot.At(100, 5), Rgb(kBand));
  EXPECT_EQ(shot.At(200, 200), Rgb(kBackground));
  EXPECT_EQ(shot.At(30, 70), 0x404040u);
  EXPECT_EQ(shot.At(370, 100), 0xFFFFFFu);  // rich edit background
  EXPECT_EQ(shot.At(30, 140), Rgb(kOther));
  EXPECT_TRUE(LoggedLines().empty()) << "unexpected: " << testing::PrintToString(LoggedLines());
}

TEST_F(WindowTest, AttributesChangeLayoutAndPixels) {
  ExpectRect(PosOf(L"ok"), 370, 10, 390, 30);
  ExpectRect(PosOf(L"bar"), 20, 60, 284, 82);

  CControlUI* ok = m_wnd.Find<CControlUI>(L"ok");
  CControlUI* band = m_wnd.Find<CControlUI>(L"band");
  ok->SetAttribute(L"width", L"30");
  ExpectRect(PosOf(L"ok"), 360, 10, 390, 30);
  EXPECT_EQ(Snapshot(m_wnd.GetHWND()).At(362, 20), Rgb(kNormal));

  ok->SetAttribute(L"height", L"14");
  ExpectRect(PosOf(L"ok"), 360, 10, 390, 24);

  band->SetAttribute(L"height", L"60");
  band->SetAttribute(L"inset", L"0,4,20,4");
  ExpectRect(PosOf(L"ok"), 350, 4, 380, 18);
  ExpectRect(PosOf(L"bar"), 20, 80, 284, 102);
  {
    Snapshot shot(m_wnd.GetHWND());
    EXPECT_EQ(shot.At(385, 10), Rgb(kBand));
    EXPECT_EQ(shot.At(100, 55), Rgb(kBand));
  }

  band->SetAttribute(L"bkimage", L"other.png");
  ok->SetAttribute(L"normalimage", L"pushed.png");
  {
    Snapshot shot(m_wnd.GetHWND());
    EXPECT_EQ(shot.At(100, 55), Rgb(kOther));
    EXPECT_EQ(shot.At(355, 10), Rgb(kPushed));
  }

  // Source rectangles pick part of an image; a bare name stretches all of it.
  CControlUI* swatch = m_wnd.Find<CControlUI>(L"swatch");
  RECT sw = PosOf(L"swatch");
  swatch->SetAttribute(L"bkimage", L"file='halves.png' source='10,0,20,10'");
  {
    Snapshot shot(m_wnd.GetHWND());
    EXPECT_EQ(shot.At(sw.left + 2, sw.top + 2), Rgb(kOther));
    EXPECT_EQ(shot.At(sw.right - 2, sw.bottom - 2), Rgb(kOther));
  }
  swatch->SetAttribute(L"bkimage", L"halves.png");
  {
    Snapshot shot(m_wnd.GetHWND());
    EXPECT_EQ(shot.At(sw.left + 2, sw.top + 2), Rgb(kNormal));
    EXPECT_EQ(shot.At(sw.right - 2, sw.bottom - 2), Rgb(kOther));
  }

  ok->SetVisible(false);
  EXPECT_EQ(Snapshot(m_wnd.GetHWND()).At(365, 10), Rgb(kOther));
  EXPECT_NE(m_wnd.Manager().FindControl(POINT{365, 10}), ok);
}

TEST_F(WindowTest, ProgressDrawsTheSourcePartOverTheCoveredWidth) {
  CProgressUI* bar = m_wnd.Find<CProgressUI>(L"bar");
  struct Row {
    int value;
    const wchar_t* image;
    int coloredUntil;  // x (exclusive) up to which the bar colour shows
  } rows[] = {
      {50, L"file='images/bar.png' source='0,0,132,22'", 20 + 132},
      {100, L"file='images/bar.png' source='0,0,264,22'", 20 + 264},
      {25, L"images/bar.png", 20 + 66},
      {0, L"", 20},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "value " << row.value);
    bar->SetForeImage(row.image);
    bar->SetValue(row.value);
    EXPECT_EQ(bar->GetValue(), row.value);
    Snapshot shot(m_wnd.GetHWND());
    if (row.coloredUntil > 20) {
      EXPECT_EQ(shot.At(20, 70), Rgb(kBar));
      EXPECT_EQ(shot.At(row.coloredUntil - 1, 70), Rgb(kBar));
    }
    if (row.coloredUntil < 284) {
      EXPECT_EQ(shot.At(row.coloredUntil, 70), 0x404040u);
    }
  }
}

TEST_F(WindowTest, HoverAndPressShowTheirImages) {
  Mouse(WM_MOUSEMOVE, 380, 20);
  EXPECT_EQ(Snapshot(m_wnd.GetHWND()).At(380, 20), Rgb(kHot));
  Mouse(WM_LBUTTONDOWN, 380, 20);
  EXPECT_EQ(Snapshot(m_wnd.GetHWND()).At(380, 20), Rgb(kPushed));
  Mouse(WM_MOUSEMOVE, 100, 100);  // pressed but outside: not pushed any more
  EXPECT_EQ(Snapshot(m_wnd.GetHWND()).At(380, 20), Rgb(kNormal));
  Mouse(WM_LBUTTONUP, 100, 100);
  Mouse(WM_MOUSEMOVE, 381, 21);
  EXPECT_EQ(Snapshot(m_wnd.GetHWND()).At(380, 20), Rgb(kHot));

  // A hot image given later is the one shown.
  m_wnd.Find<CControlUI>(L"ok")->SetAttribute(L"hotimage", L"other.png");
  EXPECT_EQ(Snapshot(m_wnd.GetHWND()).At(380, 20), Rgb(kOther));
  Mouse(WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Snapshot(m_wnd.GetHWND()).At(380, 20), Rgb(kNormal));
}

TEST_F(WindowTest, ClickIsRaisedOnceOnReleaseInsideTheButton) {
  CButtonUI* ok = m_wnd.Find<CButtonUI>(L"ok");
  struct Row {
    const char* what;
    POINT down, up;
    size_t clicks;
  } rows[] = {
      {"press and release inside", {375, 15}, {385, 25}, 1},
      {"release outside", {375, 15}, {300, 20}, 0},
      {"press outside, release inside", {300, 20}, {380, 20}, 0},
      {"press and release on a label", {100, 20}, {100, 20}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    m_wnd.clicks.clear();
    Mouse(WM_MOUSEMOVE, row.down.x, row.down.y);
    Mouse(WM_LBUTTONDOWN, row.down.x, row.down.y);
    Mouse(WM_MOUSEMOVE, row.up.x, row.up.y);
    Mouse(WM_LBUTTONUP, row.up.x, row.up.y);
    ASSERT_EQ(m_wnd.clicks.size(), row.clicks);
    if (row.clicks) {
      EXPECT_EQ(m_wnd.clicks[0].pSender, ok);
      EXPECT_EQ(m_wnd.clicks[0].ptMouse.x, row.up.x);
      EXPECT_EQ(m_wnd.clicks[0].ptMouse.y, row.up.y);
    }
  }
  // The mouse taken away while pressed: released without a click, drawn normal again.
  m_wnd.clicks.clear();
  Mouse(WM_LBUTTONDOWN, 380, 20);
  ASSERT_EQ(GetCapture(), m_wnd.GetHWND());
  ReleaseCapture();
  Mouse(WM_LBUTTONUP, 380, 20);
  EXPECT_TRUE(m_wnd.clicks.empty());
  EXPECT_EQ(ok->GetButtonState() & UISTATE_PUSHED, 0u);

  // A hidden or disabled button raises nothing.
  ok->SetEnabled(false);
  m_wnd.clicks.clear();
  Mouse(WM_LBUTTONDOWN, 380, 20);
  Mouse(WM_LBUTTONUP, 380, 20);
  EXPECT_TRUE(m_wnd.clicks.empty());
}

TEST_F(WindowTest, RichEditTakesFocusAndTextAndTooltipShowsOnHover) {
  CRichEditUI* edit = m_wnd.Find<CRichEditUI>(L"edit");
  Mouse(WM_LBUTTONDOWN, 100, 100);
  Mouse(WM_LBUTTONUP, 100, 100);
  EXPECT_EQ(m_wnd.Manager().GetFocus(), edit);
  EXPECT_TRUE(edit->IsFocused());
  for (wchar_t ch : std::wstring(L"ab\bc"))
    SendMessageW(m_wnd.GetHWND(), WM_CHAR, ch, 0);
  EXPECT_EQ(edit->GetText(), L"ac");

  Mouse(WM_LBUTTONDOWN, 30, 140);  // elsewhere: focus leaves the edit
  Mouse(WM_LBUTTONUP, 30, 140);
  EXPECT_FALSE(edit->IsFocused());
  SendMessageW(m_wnd.GetHWND(), WM_CHAR, L'x', 0);
  EXPECT_EQ(edit->GetText(), L"ac");
  edit->SetFocus();
  EXPECT_TRUE(edit->IsFocused());

  Mouse(WM_MOUSEMOVE, 380, 20);
  SendMessageW(m_wnd.GetHWND(), WM_MOUSEHOVER, 0, Point(380, 20));
  HWND tip = m_wnd.Manager().GetTooltipWindow();
  ASSERT_NE(tip, nullptr);
  wchar_t text[64] = {};
  TOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = m_wnd.GetHWND();
  info.uId = reinterpret_cast<UINT_PTR>(m_wnd.GetHWND());
  info.lpszText = text;
  SendMessageW(tip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(text, L"Press me");
  m_wnd.Find<CControlUI>(L"ok")->SetToolTip(L"Again");
  EXPECT_EQ(m_wnd.Find<CControlUI>(L"ok")->GetToolTip(), L"Again");
}

TEST_F(WindowTest, MinimumTrackingSizeLimitsResizing) {
  struct Row {
    int minX, minY;  // 0: the skin's mininfo (200,150)
    int askX, askY;
    int gotX, gotY;
  } rows[] = {
      {0, 0, 50, 50, 200, 150},
      {300, 250, 100, 100, 300, 250},
      {300, 250, 350, 260, 350, 260},
      {100, 80, 120, 90, 120, 90},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "min " << row.minX << "x" << row.minY);
    if (row.minX)
      m_wnd.Manager().SetMinInfo(row.minX, row.minY);
    SetWindowPos(m_wnd.GetHWND(), nullptr, 0, 0, row.askX, row.askY, SWP_NOMOVE | SWP_NOZORDER);
    RECT rc;
    GetWindowRect(m_wnd.GetHWND(), &rc);
    EXPECT_EQ(rc.right - rc.left, row.gotX);
    EXPECT_EQ(rc.bottom - rc.top, row.gotY);
  }
}

TEST_F(WindowTest, CentersOnTheWorkAreaAndReportsAMissingIcon) {
  m_wnd.CenterWindow();
  RECT rc, work;
  GetWindowRect(m_wnd.GetHWND(), &rc);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_LE(std::abs((rc.left + rc.right) - (work.left + work.right)), 1);
  EXPECT_LE(std::abs((rc.top + rc.bottom) - (work.top + work.bottom)), 1);
  EXPECT_EQ(rc.right - rc.left, 400);

  m_wnd.SetIcon(107);  // the test program has no icon resources
  EXPECT_TRUE(LogMentions(L"icon resource 107"));
  EXPECT_EQ(SendMessageW(m_wnd.GetHWND(), WM_GETICON, ICON_BIG, 0), 0);
}

TEST_F(WindowTest, ShowModalReturnsTheCloseCode) {
  // Close from another thread, as a worker does, before the loop runs.
  std::thread closer([this] { m_wnd.Close(7); });
  closer.join();
  EXPECT_EQ(m_wnd.ShowModal(), 7u);
  EXPECT_FALSE(IsWindow(m_wnd.GetHWND()));
  EXPECT_EQ(m_wnd.GetHWND(), nullptr);  // WM_NCDESTROY detached the object
}

TEST_F(WindowTest, LoopsEndOnQuitAndPassItOutward) {
  HWND hWnd = m_wnd.GetHWND();
  m_wnd.messages.clear();
  PostMessageW(hWnd, WM_APP + 5, 0, 0);
  PostQuitMessage(3);
  // The modal loop leaves on WM_QUIT and posts it again for the outer loop.
  EXPECT_EQ(m_wnd.ShowModal(), 0u);
  EXPECT_TRUE(IsWindow(hWnd));
  EXPECT_NE(std::find(m_wnd.messages.begin(), m_wnd.messages.end(), WM_APP + 5u),
            m_wnd.messages.end());
  DuiLib::CPaintManagerUI::MessageLoop();  // returns because WM_QUIT is waiting
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

  PostMessageW(hWnd, WM_APP + 6, 0, 0);
  PostQuitMessage(0);
  DuiLib::CPaintManagerUI::MessageLoop();
  EXPECT_NE(std::find(m_wnd.messages.begin(), m_wnd.messages.end(), WM_APP + 6u),
            m_wnd.messages.end());
}

}  // namespace
}  // namespace duilib_test
