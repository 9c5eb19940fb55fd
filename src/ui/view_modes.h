// The main window's two view modes: the complete view (1480 x 890) and the simple view
// (420 x 340, offered in live rooms). Sizes, title-band attributes and button images as values,
// apart from the window code that applies them.
#pragma once

namespace zarvik {
namespace view {

constexpr int kComplete = 1;
constexpr int kSimple = 0;

// The complete view's window size, which is also the main window's size when it opens.
constexpr int kCompleteWidth = 1480;
constexpr int kCompleteHeight = 890;

struct ViewModeLayout {
  int windowWidth;
  int windowHeight;
  int bandHeight;            // the browser starts below it
  const wchar_t* bandWidth;  // "topArea" attributes
  const wchar_t* bandHeightText;
  const wchar_t* bandInset;
  const wchar_t* bandImage;
  const wchar_t* stretchWidth;  // "leftstrach" width
};

// The layout of view mode 1 (complete) or 0 (simple); any other value counts as simple.
const ViewModeLayout& LayoutFor(int viewMode);

enum class TitleButton { kViewMode, kHistory, kPin, kMinimize, kClose };

struct ButtonImages {
  const wchar_t* normal;
  const wchar_t* hot;
};

// "normalimage" / "hotimage" of a title-band button; `pinned` matters for the pin button only.
ButtonImages ImagesFor(TitleButton button, int viewMode, bool pinned);

// The pin button's tooltip for the pin state.
const wchar_t* PinToolTip(bool pinned);

// Origin that centres `size` on `screen` (division truncating toward zero); with `clampAtZero`
// a negative origin becomes 0.
int CenteredOrigin(int screen, int size, bool clampAtZero);

// Browser rectangle (left, top, right, bottom) for the client rectangle's top-left corner.
struct BrowserBox {
  int left, top, width, height;
};
BrowserBox BrowserBoxFor(int clientLeft, int clientTop, int viewMode);

// Leaving a live room restores the complete size with these band values (the header, not the
// whole band, and a narrower stretch part).
constexpr const wchar_t* kLeaveRoomHeaderWidth = L"1080";
constexpr const wchar_t* kLeaveRoomStretchWidth = L"869";

}  // namespace view
}  // namespace zarvik
