// The shipped skin archive zarvik.ui (beside the test program): the skins build, name the
// controls the client looks up, and hold every image the client switches to.
#include "duilib_fixture.h"

namespace duilib_test {
namespace {

using DuiLib::CControlUI;
using DuiLib::CPaintManagerUI;

class SkinArchiveTest : public testing::Test {
 protected:
  void SetUp() override {
    CollectLibraryLog();
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
    CPaintManagerUI::SetResourceZip(L"zarvik.ui", false);
  }
  void TearDown() override {
    CPaintManagerUI::SetResourceZip(L"", false);
    CPaintManagerUI::SetResourcePath(L"");
    zarvik::RouteUiLibraryLog(nullptr);
  }
};

TEST_F(SkinArchiveTest, SkinsNameTheControlsTheWindowsUse) {
  struct Row {
    const wchar_t* skin;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> controls;
  } rows[] = {
      {L"main.xml",
       {{L"topArea", L"HorizontalLayoutUI"},
        {L"leftstrach", L"HorizontalLayoutUI"},
        {L"header", L"HorizontalLayoutUI"},
        {L"closebtn", L"ButtonUI"},
        {L"minbtn", L"ButtonUI"},
        {L"binbtn", L"ButtonUI"},
        {L"vmode", L"ButtonUI"},
        {L"browseHistoryBtn", L"ButtonUI"}}},
      {L"update.xml", {{L"progressTip", L"LabelUI"}, {L"updateprogress", L"ProgressUI"}}},
      {L"vcast.xml", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.skin);
    CPaintManagerUI manager;
    DuiLib::CDialogBuilder builder;
    CControlUI* root = builder.Create(row.skin, nullptr, &manager);
    ASSERT_NE(root, nullptr);
    manager.AttachDialog(root);
    for (const auto& control : row.controls) {
      SCOPED_TRACE(testing::Message() << control.first);
      ASSERT_NE(manager.FindControl(control.first), nullptr);
      EXPECT_STREQ(manager.FindControl(control.first)->GetClass(), control.second);
    }
  }
  CPaintManagerUI manager;
  DuiLib::CDialogBuilder builder;
  manager.AttachDialog(builder.Create(L"main.xml", nullptr, &manager));
  EXPECT_GT(manager.GetCaptionRect().bottom, 0);  // a caption band to drag the window by
  EXPECT_EQ(manager.FindControl(L"binbtn")->GetToolTip(), L"\x7F6E\x9876");  // "pin on top"
  EXPECT_TRUE(LoggedLines().empty()) << testing::PrintToString(LoggedLines());
}

TEST_F(SkinArchiveTest, EveryImageTheClientSwitchesToIsThere) {
  const wchar_t* names[] = {L"topAreaBackground.png",
                            L"mini-topbackground.png",
                            L"vmode-normal.png",
                            L"vmode-hover.png",
                            L"fm-normal.png",
                            L"fm-hover.png",
                            L"vh.png",
                            L"vh-hover.png",
                            L"mini_vh_normal.png",
                            L"mini_vh_hover.png",
                            L"bin-normal.png",
                            L"bin-hover.png",
                            L"mm-bin-normal.png",
                            L"mm-bin-hover.png",
                            L"bin-top-normal.png",
                            L"bin-top-hover.png",
                            L"mm-bin-top-normal.png",
                            L"mm-bin-top-hover.png",
                            L"mini-normal.png",
                            L"mini-hover.png",
                            L"mm-mini-normal.png",
                            L"mm-mini-hover.png",
                            L"close-normal.png",
                            L"close-hover.png",
                            L"mm-close-normal.png",
                            L"mm-close-hover.png",
                            L"ver_update_fg.png"};
  CPaintManagerUI manager;
  for (const wchar_t* name : names) {
    SCOPED_TRACE(testing::Message() << name);
    const DuiLib::TImageInfo* image = manager.GetImageEx(name);
    ASSERT_NE(image, nullptr);
    EXPECT_GT(image->nX, 0);
  }
  const DuiLib::TImageInfo* bar = manager.GetImageEx(L"ver_update_fg.png");
  EXPECT_GE(bar->nX, 264);
  EXPECT_GE(bar->nY, 22);
}

// The windows' own style (caption, sizing frame): the library's windows are all client area.
const DWORD kClientWindowStyle = 0x10CE0000;

void ExpectAllClient(HWND hWnd, int cx, int cy) {
  RECT window, client;
  GetWindowRect(hWnd, &window);
  GetClientRect(hWnd, &client);
  EXPECT_EQ(window.right - window.left, cx);
  EXPECT_EQ(window.bottom - window.top, cy);
  EXPECT_EQ(client.right, cx);
  EXPECT_EQ(client.bottom, cy);
}

// The main window's band in both view modes: the buttons sit inside the window, right-aligned.
TEST_F(SkinArchiveTest, TitleBandFitsBothViewModes) {
  TestWindow wnd(L"main.xml");
  ASSERT_NE(wnd.CreateAt(1480, 890, kClientWindowStyle), nullptr);
  ExpectAllClient(wnd.GetHWND(), 1480, 890);
  EXPECT_FALSE(GetWindowLongW(wnd.GetHWND(), GWL_STYLE) & WS_CAPTION);
  auto pos = [&](const wchar_t* name) {
    Snapshot layout(wnd.GetHWND());
    return wnd.Find<CControlUI>(name)->GetPos();
  };
  EXPECT_EQ(pos(L"topArea").bottom, 40);
  EXPECT_EQ(pos(L"closebtn").right, 1475);
  EXPECT_LE(pos(L"leftstrach").right, pos(L"vmode").left);
  wnd.Find<CControlUI>(L"vmode")->SetVisible(false);  // as the window starts
  EXPECT_EQ(pos(L"closebtn").right, 1475);

  struct Attr {
    const wchar_t *control, *name, *value;
  } simple[] = {{L"topArea", L"width", L"420"},
                {L"topArea", L"height", L"34"},
                {L"topArea", L"inset", L"0,3,5,3"},
                {L"topArea", L"bkimage", L"mini-topbackground.png"},
                {L"leftstrach", L"width", L"213"},
                {L"closebtn", L"normalimage", L"mm-close-normal.png"},
                {L"closebtn", L"hotimage", L"mm-close-hover.png"}};
  for (const Attr& a : simple)
    wnd.Find<CControlUI>(a.control)->SetAttribute(a.name, a.value);
  wnd.Manager().SetMinInfo(420, 340);
  SetWindowPos(wnd.GetHWND(), nullptr, 0, 0, 420, 340, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(pos(L"topArea").bottom, 34);
  EXPECT_EQ(pos(L"closebtn").right, 415);
  EXPECT_GE(pos(L"browseHistoryBtn").left, pos(L"leftstrach").right);
  ExpectAllClient(wnd.GetHWND(), 420, 340);
  EXPECT_TRUE(LoggedLines().empty()) << testing::PrintToString(LoggedLines());
  DestroyWindow(wnd.GetHWND());
}

// The update strip: 264 x 22 without a frame, the bar image over the covered half at 50 %.
TEST_F(SkinArchiveTest, UpdateStripShowsHalfTheBarAtFiftyPercent) {
  TestWindow wnd(L"update.xml");
  ASSERT_NE(wnd.CreateAt(264, 22, kClientWindowStyle), nullptr);
  ExpectAllClient(wnd.GetHWND(), 264, 22);
  auto* bar = wnd.Find<DuiLib::CProgressUI>(L"updateprogress");
  ASSERT_NE(bar, nullptr);
  uint32_t empty = Snapshot(wnd.GetHWND()).At(60, 11);
  bar->SetForeImage(L"file='ver_update_fg.png' source='0,0,132,22'");
  bar->SetValue(50);
  Snapshot shot(wnd.GetHWND());
  EXPECT_NE(shot.At(60, 11), empty);
  EXPECT_EQ(shot.At(200, 11), empty);
  DestroyWindow(wnd.GetHWND());
}

}  // namespace
}  // namespace duilib_test
