#include "ui/view_modes.h"

namespace zarvik {
namespace view {

namespace {

const ViewModeLayout kCompleteLayout = {
    kCompleteWidth, kCompleteHeight,          40,     L"1480", L"40",
    L"0,6,5,6",     L"topAreaBackground.png", L"1273"};
const ViewModeLayout kSimpleLayout = {
    420, 340, 34, L"420", L"34", L"0,3,5,3", L"mini-topbackground.png", L"213"};

}  // namespace

const ViewModeLayout& LayoutFor(int viewMode) {
  return viewMode == kComplete ? kCompleteLayout : kSimpleLayout;
}

ButtonImages ImagesFor(TitleButton button, int viewMode, bool pinned) {
  bool complete = viewMode == kComplete;
  switch (button) {
    case TitleButton::kViewMode:
      return complete ? ButtonImages{L"vmode-normal.png", L"vmode-hover.png"}
                      : ButtonImages{L"fm-normal.png", L"fm-hover.png"};
    case TitleButton::kHistory:
      return complete ? ButtonImages{L"vh.png", L"vh-hover.png"}
                      : ButtonImages{L"mini_vh_normal.png", L"mini_vh_hover.png"};
    case TitleButton::kPin:
      if (pinned)
        return complete ? ButtonImages{L"bin-top-normal.png", L"bin-top-hover.png"}
                        : ButtonImages{L"mm-bin-top-normal.png", L"mm-bin-top-hover.png"};
      return complete ? ButtonImages{L"bin-normal.png", L"bin-hover.png"}
                      : ButtonImages{L"mm-bin-normal.png", L"mm-bin-hover.png"};
    case TitleButton::kMinimize:
      return complete ? ButtonImages{L"mini-normal.png", L"mini-hover.png"}
                      : ButtonImages{L"mm-mini-normal.png", L"mm-mini-hover.png"};
    case TitleButton::kClose:
      return complete ? ButtonImages{L"close-normal.png", L"close-hover.png"}
                      : ButtonImages{L"mm-close-normal.png", L"mm-close-hover.png"};
  }
  return {L"", L""};
}

const wchar_t* PinToolTip(bool pinned) {
  return pinned ? L"\u53D6\u6D88\u7F6E\u9876" : L"\u7F6E\u9876";  // "取消置顶" / "置顶"
}

int CenteredOrigin(int screen, int size, bool clampAtZero) {
  int origin = (screen - size) / 2;
  return clampAtZero && origin < 0 ? 0 : origin;
}

BrowserBox BrowserBoxFor(int clientLeft, int clientTop, int viewMode) {
  const ViewModeLayout& layout = LayoutFor(viewMode);
  return {clientLeft, clientTop + layout.bandHeight, layout.windowWidth,
          layout.windowHeight - layout.bandHeight};
}

}  // namespace view
}  // namespace zarvik
