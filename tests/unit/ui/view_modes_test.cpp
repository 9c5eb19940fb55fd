#include "ui/view_modes.h"

#include <gtest/gtest.h>

#include <string>

using namespace zarvik::view;

TEST(ViewModes, ButtonImagesPerModeAndPinState) {
  struct Row {
    TitleButton button;
    int mode;
    bool pinned;
    const wchar_t* normal;
    const wchar_t* hot;
  } rows[] = {
      {TitleButton::kViewMode, kComplete, false, L"vmode-normal.png", L"vmode-hover.png"},
      {TitleButton::kViewMode, kSimple, false, L"fm-normal.png", L"fm-hover.png"},
      {TitleButton::kHistory, kComplete, false, L"vh.png", L"vh-hover.png"},
      {TitleButton::kHistory, kSimple, false, L"mini_vh_normal.png", L"mini_vh_hover.png"},
      {TitleButton::kPin, kComplete, false, L"bin-normal.png", L"bin-hover.png"},
      {TitleButton::kPin, kSimple, false, L"mm-bin-normal.png", L"mm-bin-hover.png"},
      {TitleButton::kPin, kComplete, true, L"bin-top-normal.png", L"bin-top-hover.png"},
      {TitleButton::kPin, kSimple, true, L"mm-bin-top-normal.png", L"mm-bin-top-hover.png"},
      {TitleButton::kMinimize, kComplete, true, L"mini-normal.png", L"mini-hover.png"},
      {TitleButton::kMinimize, kSimple, false, L"mm-mini-normal.png", L"mm-mini-hover.png"},
      {TitleButton::kClose, kComplete, false, L"close-normal.png", L"close-hover.png"},
      {TitleButton::kClose, kSimple, true, L"mm-close-normal.png", L"mm-close-hover.png"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "button " << static_cast<int>(row.button) << " mode "
                                    << row.mode << " pinned " << row.pinned);
    ButtonImages images = ImagesFor(row.button, row.mode, row.pinned);
    EXPECT_EQ(std::wstring(images.normal), row.normal);
    EXPECT_EQ(std::wstring(images.hot), row.hot);
  }
}

TEST(ViewModes, LayoutsAndBrowserBoxes) {
  const ViewModeLayout& complete = LayoutFor(kComplete);
  EXPECT_EQ(complete.windowWidth, 1480);
  EXPECT_EQ(complete.windowHeight, 890);
  EXPECT_EQ(std::wstring(complete.bandInset), L"0,6,5,6");
  EXPECT_EQ(std::wstring(complete.bandImage), L"topAreaBackground.png");
  EXPECT_EQ(std::wstring(complete.stretchWidth), L"1273");
  const ViewModeLayout& simple = LayoutFor(kSimple);
  EXPECT_EQ(simple.windowWidth, 420);
  EXPECT_EQ(simple.windowHeight, 340);
  EXPECT_EQ(std::wstring(simple.bandHeightText), L"34");
  EXPECT_EQ(std::wstring(simple.bandInset), L"0,3,5,3");
  EXPECT_EQ(std::wstring(simple.bandImage), L"mini-topbackground.png");
  EXPECT_EQ(std::wstring(simple.stretchWidth), L"213");

  BrowserBox big = BrowserBoxFor(0, 0, kComplete);
  EXPECT_EQ(big.top, 40);
  EXPECT_EQ(big.width, 1480);
  EXPECT_EQ(big.height, 850);
  BrowserBox small = BrowserBoxFor(3, 5, kSimple);
  EXPECT_EQ(small.left, 3);
  EXPECT_EQ(small.top, 39);
  EXPECT_EQ(small.width, 420);
  EXPECT_EQ(small.height, 306);
}

TEST(ViewModes, CentringTruncatesAndClampsOnlyWhenAsked) {
  struct Row {
    int screen, size;
    bool clamp;
    int expected;
  } rows[] = {
      {1920, 1480, true, 220},   {1921, 1480, true, 220}, {1280, 1480, true, 0},
      {1280, 1480, false, -100}, {400, 420, false, -10},  {401, 420, false, -9},
      {1080, 890, true, 95},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.screen << " " << row.size << " " << row.clamp);
    EXPECT_EQ(CenteredOrigin(row.screen, row.size, row.clamp), row.expected);
  }
}

TEST(ViewModes, PinToolTips) {
  EXPECT_EQ(std::wstring(PinToolTip(true)), L"\u53D6\u6D88\u7F6E\u9876");
  EXPECT_EQ(std::wstring(PinToolTip(false)), L"\u7F6E\u9876");
}
