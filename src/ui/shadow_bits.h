// Pixel arithmetic of the main window's drop shadow: the blur kernel, the erosion of the outline,
// the stamping of the soft border and the solid core. No Win32 here: the outline comes in as one
// span per parent row, the image goes out into a caller's 32-bit buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zarvik::shadow {

// Columns [start, end) of one row; empty when start >= end. The outline step marks a row without
// any covered pixel with (width, 0), and the erosion keeps whatever its arithmetic gives, so the
// exact numbers of empty spans matter to the border step.
struct Span {
  int start;
  int end;
  bool Empty() const { return start >= end; }
  bool operator==(const Span& other) const { return start == other.start && end == other.end; }
  bool operator!=(const Span& other) const { return !(*this == other); }
};

// The five single-byte settings and the colour of one shadow.
struct ShadowParams {
  uint8_t darkness = 150;  // alpha of the solid core
  uint8_t sharpness = 5;   // width of the soft border, pixels
  int8_t size = 8;         // reach beyond the parent on every side, pixels
  int8_t xOffset = 0;
  int8_t yOffset = 0;
  uint32_t color = 0;  // COLORREF: red in the low byte, blue in the third
};

// A rectangle [left, right) x [top, bottom), as the rectangles of a region come.
struct PixelRect {
  int left;
  int top;
  int right;
  int bottom;
};

// Premultiplied BGRA: alpha in the top byte, each colour channel times alpha / 255.
uint32_t PackShadowPixel(uint32_t color, uint8_t alpha);

// The square blur kernel of (2 * radius + 1)^2 pixels, row by row from dy = -radius.
struct ShadowKernel {
  int radius = 0;
  uint32_t core = 0;  // the colour packed with alpha = darkness
  std::vector<uint32_t> pixels;
  uint32_t At(int dx, int dy) const {
    return pixels[static_cast<size_t>(dy + radius) * (2 * radius + 1) + (dx + radius)];
  }
};
ShadowKernel BuildShadowKernel(const ShadowParams& params);

// One span per parent row from the rectangles of the parent's region, clipped to the parent:
// the first and one past the last covered column, or (width, 0) for an uncovered row.
std::vector<Span> OutlineFromRects(const PixelRect* rects, size_t count, int width, int height);

// The working table: shadow row i lives in entry i + 1, with a guard row at each end and empty
// margins of `size` rows; parent row y moves to entry y + size + 1, shifted right by `size`.
std::vector<Span> BuildWorkingSpans(const std::vector<Span>& outline, int width, int size);

// Shrinks every span of rows 1 .. n - 2 by one pixel per pass against its neighbours.
void ErodeWorkingSpans(std::vector<Span>& working, int passes);

// Draws the shadow of a width x height parent with the given outline into `bits`, a bottom-up
// image of (width + 2 * size) x (height + 2 * size) pixels that the caller has cleared to 0;
// `outline` has one span per parent row.
// Pixels under the parent are left untouched (so they stay 0). A negative size draws nothing.
void RenderShadowFromOutline(uint32_t* bits,
                             int width,
                             int height,
                             const std::vector<Span>& outline,
                             const ShadowParams& params);

}  // namespace zarvik::shadow
