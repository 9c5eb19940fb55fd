#include "ui/view_modes.h"

#include <gtest/gtest.h>

#include <minizip/unzip.h>

#include <set>
#include <string>

#include "common/encoding.h"
#include "common/module_path.h"

using namespace zarvik::view;

namespace {

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

// One file of the shipped skin archive (zarvik.ui beside the test program), or "" when absent.
std::string SkinFile(const std::string& name) {
  const std::string archivePath =
      zarvik::WideToAnsi(zarvik::ModuleDirectory() + L"zarvik.ui");
  unzFile archive = unzOpen64(archivePath.c_str());
  if (!archive)
    return std::string();
  std::string content;
  if (unzLocateFile(archive, name.c_str(), 0) == UNZ_OK && unzOpenCurrentFile(archive) == UNZ_OK) {
    char buffer[4096];
    int got;
    while ((got = unzReadCurrentFile(archive, buffer, sizeof(buffer))) > 0)
      content.append(buffer, static_cast<size_t>(got));
    unzCloseCurrentFile(archive);
  }
  unzClose(archive);
  return content;
}

std::string Narrow(const wchar_t* text) {
  return zarvik::WideToAnsi(text);
}

TEST(ViewModes, EveryImageTheWindowAsksForIsInTheShippedSkin) {
  // A name that is not in the skin leaves a blank button or band: the UI library only logs it.
  std::set<std::string> names;
  const TitleButton buttons[] = {TitleButton::kViewMode, TitleButton::kHistory, TitleButton::kPin,
                                 TitleButton::kMinimize, TitleButton::kClose};
  for (int mode : {kComplete, kSimple}) {
    names.insert(Narrow(LayoutFor(mode).bandImage));
    for (TitleButton button : buttons) {
      for (bool pinned : {false, true}) {
        ButtonImages images = ImagesFor(button, mode, pinned);
        names.insert(Narrow(images.normal));
        names.insert(Narrow(images.hot));
      }
    }
  }
  ASSERT_FALSE(SkinFile("main.xml").empty()) << "zarvik.ui is not beside the test program";
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(SkinFile(name).empty());
  }
}

TEST(ViewModes, CompleteLayoutMatchesTheTitleBandOfTheShippedSkin) {
  // The window starts with main.xml's band and switches back to LayoutFor(kComplete): the two
  // must agree, or returning to the complete view changes the band.
  const std::string xml = SkinFile("main.xml");
  ASSERT_FALSE(xml.empty());
  const size_t band = xml.find("name=\"topArea\"");
  ASSERT_NE(band, std::string::npos);
  const std::string bandTag = xml.substr(band, xml.find('>', band) - band);
  const ViewModeLayout& complete = LayoutFor(kComplete);
  const std::string expected[] = {
      "width=\"" + Narrow(complete.bandWidth) + "\"",
      "height=\"" + Narrow(complete.bandHeightText) + "\"",
      "inset=\"" + Narrow(complete.bandInset) + "\"",
      "bkimage=\"" + Narrow(complete.bandImage) + "\""};
  for (const std::string& attribute : expected)
    EXPECT_NE(bandTag.find(attribute), std::string::npos) << attribute << " in " << bandTag;
  const size_t stretch = xml.find("name=\"leftstrach\"");
  ASSERT_NE(stretch, std::string::npos);
  const std::string stretchTag = xml.substr(stretch, xml.find('>', stretch) - stretch);
  EXPECT_NE(stretchTag.find("width=\"" + Narrow(complete.stretchWidth) + "\""), std::string::npos)
      << stretchTag;
}

TEST(ViewModes, LayoutsAreConsistentWithTheirWindowAndBrowser) {
  for (int mode : {kComplete, kSimple}) {
    SCOPED_TRACE(mode);
    const ViewModeLayout& layout = LayoutFor(mode);
    // The band spans the window, and its height attribute is the height the browser starts below.
    EXPECT_EQ(Narrow(layout.bandWidth), std::to_string(layout.windowWidth));
    EXPECT_EQ(Narrow(layout.bandHeightText), std::to_string(layout.bandHeight));
    EXPECT_LT(std::stoi(Narrow(layout.stretchWidth)), layout.windowWidth);
    // The browser fills the client area below the band, wherever the client area starts.
    for (int corner : {0, 3}) {
      BrowserBox box = BrowserBoxFor(corner, corner, mode);
      EXPECT_EQ(box.left, corner);
      EXPECT_EQ(box.top, corner + layout.bandHeight);
      EXPECT_EQ(box.width, layout.windowWidth);
      EXPECT_EQ(box.top - corner + box.height, layout.windowHeight)
          << "the browser ends at the window's bottom edge";
    }
  }
  BrowserBox big = BrowserBoxFor(0, 0, kComplete);
  EXPECT_EQ(big.top, 40);
  EXPECT_EQ(big.width, 1480);
  EXPECT_EQ(big.height, 850);
  BrowserBox small = BrowserBoxFor(3, 5, kSimple);
  EXPECT_EQ(small.left, 3);
  EXPECT_EQ(small.top, 39);
  EXPECT_EQ(small.width, 420);
  EXPECT_EQ(small.height, 306);
  // Unknown modes fall back to the simple view rather than to garbage.
  EXPECT_EQ(&LayoutFor(7), &LayoutFor(kSimple));
  EXPECT_NE(&LayoutFor(kComplete), &LayoutFor(kSimple));
  // The complete window fits the 1480 x 890 the entry creates, the simple one is smaller.
  EXPECT_LT(LayoutFor(kSimple).windowWidth, LayoutFor(kComplete).windowWidth);
  EXPECT_LT(LayoutFor(kSimple).windowHeight, LayoutFor(kComplete).windowHeight);
}

TEST(ViewModes, EachButtonStateHasItsOwnImages) {
  // Two states sharing an image would make a switch invisible to the player.
  const TitleButton buttons[] = {TitleButton::kViewMode, TitleButton::kHistory, TitleButton::kPin,
                                 TitleButton::kMinimize, TitleButton::kClose};
  for (TitleButton button : buttons) {
    SCOPED_TRACE(static_cast<int>(button));
    ButtonImages complete = ImagesFor(button, kComplete, false);
    ButtonImages simple = ImagesFor(button, kSimple, false);
    EXPECT_NE(std::wstring(complete.normal), complete.hot);
    EXPECT_NE(std::wstring(complete.normal), simple.normal);
    EXPECT_NE(std::wstring(complete.hot), simple.hot);
  }
  for (int mode : {kComplete, kSimple}) {
    EXPECT_NE(std::wstring(ImagesFor(TitleButton::kPin, mode, true).normal),
              ImagesFor(TitleButton::kPin, mode, false).normal);
    EXPECT_NE(std::wstring(ImagesFor(TitleButton::kPin, mode, true).hot),
              ImagesFor(TitleButton::kPin, mode, false).hot);
  }
  EXPECT_NE(std::wstring(PinToolTip(true)), PinToolTip(false));
}

}  // namespace

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
