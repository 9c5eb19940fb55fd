// Skins that are missing, broken or name images that are not there: reported, never a crash.
#include "duilib_fixture.h"

namespace duilib_test {
namespace {

using DuiLib::CControlUI;
using DuiLib::CDialogBuilder;
using DuiLib::CPaintManagerUI;

class Custom : public CControlUI {
 public:
  LPCTSTR GetClass() const override { return L"CustomUI"; }
};

class Callback : public DuiLib::IDialogBuilderCallback {
 public:
  CControlUI* CreateControl(LPCTSTR pstrClass) override {
    asked.push_back(pstrClass);
    return wcscmp(pstrClass, L"Custom") == 0 ? new Custom : nullptr;
  }
  std::vector<std::wstring> asked;
};

using BuilderTest = SkinTest;

TEST_F(BuilderTest, MissingOrInvalidSkinGivesNoRootAndALogLine) {
  WriteArchive({
      {"broken.xml", "<Window><VerticalLayout></Window>"},
      {"empty.xml", "<Window size=\"10,10\"></Window>"},
      {"unknown.xml", "<Window><Gauge name=\"g\"/></Window>"},
  });
  struct Row {
    const wchar_t* file;
    const wchar_t* logged;
  } rows[] = {
      {L"missing.xml", L"missing.xml"},
      {L"broken.xml", L"broken.xml is not valid XML"},
      {L"empty.xml", L"no control"},
      {L"unknown.xml", L"unknown control class Gauge"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.file);
    LoggedLines().clear();
    CPaintManagerUI manager;
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(row.file, nullptr, &manager), nullptr);
    EXPECT_TRUE(LogMentions(row.logged)) << testing::PrintToString(LoggedLines());
  }

  // A zip that is not there at all.
  CPaintManagerUI::SetResourceZip(L"absent.ui");
  LoggedLines().clear();
  CPaintManagerUI manager;
  CDialogBuilder builder;
  EXPECT_EQ(builder.Create(L"test.xml", nullptr, &manager), nullptr);
  EXPECT_TRUE(LogMentions(L"absent.ui"));
}

TEST_F(BuilderTest, CallbackCreatesClassesTheLibraryDoesNotKnow) {
  WriteArchive({{"custom.xml",
                 "<Window><HorizontalLayout name=\"row\"><Custom name=\"c\" width=\"5\"/>"
                 "<Button name=\"b\"/></HorizontalLayout></Window>"}});
  Callback callback;
  CPaintManagerUI manager;
  CDialogBuilder builder;
  CControlUI* root = builder.Create(L"custom.xml", &callback, &manager);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(callback.asked, std::vector<std::wstring>{L"Custom"});
  manager.AttachDialog(root);  // the manager owns the tree from here
  ASSERT_NE(manager.FindControl(L"c"), nullptr);
  EXPECT_STREQ(manager.FindControl(L"c")->GetClass(), L"CustomUI");
  EXPECT_EQ(manager.FindControl(L"c")->GetFixedWidth(), 5);
  EXPECT_STREQ(manager.FindControl(L"b")->GetClass(), L"ButtonUI");
}

TEST_F(BuilderTest, WindowWithoutSkinOrImagesStaysUpAndSaysSo) {
  WriteArchive({{"noimage.xml",
                 "<Window><VerticalLayout bkcolor=\"#FF102030\">"
                 "<Button name=\"b\" height=\"20\" normalimage=\"gone.png\"/>"
                 "<Control name=\"c\" bkimage=\"file='alsogone.png' source='0,0,4,4'\"/>"
                 "</VerticalLayout></Window>"}});
  {
    TestWindow wnd(L"nosuchskin.xml");
    ASSERT_NE(wnd.CreateAt(100, 80), nullptr);
    EXPECT_EQ(wnd.Manager().GetRoot(), nullptr);
    EXPECT_FALSE(wnd.initWindowCalled);
    EXPECT_TRUE(LogMentions(L"nosuchskin.xml"));
    Snapshot shot(wnd.GetHWND());  // painting an empty window is fine
    SendMessageW(wnd.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 10));
    SendMessageW(wnd.GetHWND(), WM_LBUTTONUP, 0, Point(10, 10));
  }  // the object goes before its window: the window is destroyed with it

  LoggedLines().clear();
  TestWindow wnd(L"noimage.xml");
  ASSERT_NE(wnd.CreateAt(100, 80), nullptr);
  Snapshot shot(wnd.GetHWND());
  EXPECT_EQ(shot.At(50, 10), 0x102030u);  // nothing drawn where the image would be
  EXPECT_EQ(shot.At(50, 50), 0x102030u);
  EXPECT_TRUE(LogMentions(L"gone.png"));
  EXPECT_TRUE(LogMentions(L"alsogone.png"));
  // Reported once, not at every paint.
  size_t lines = LoggedLines().size();
  Snapshot again(wnd.GetHWND());
  EXPECT_EQ(LoggedLines().size(), lines);
  DestroyWindow(wnd.GetHWND());
}

}  // namespace
}  // namespace duilib_test
