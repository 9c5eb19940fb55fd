// The shadow's pixel arithmetic on tables: kernel, packing, outline, erosion, and the image of a
// rectangular and a rounded parent.
#include "ui/shadow_bits.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "common/scoped_handle.h"
#include "shadow_image.h"
#include "ui/wnd_shadow.h"

namespace {

using zarvik::shadow::BuildShadowKernel;
using zarvik::shadow::PackShadowPixel;
using zarvik::shadow::PixelRect;
using zarvik::shadow::ShadowParams;
using zarvik::shadow::Span;

ShadowParams MainWindowParams() {
  ShadowParams params;
  params.size = 4;
  params.sharpness = 5;
  params.darkness = 150;
  params.xOffset = 0;
  params.yOffset = 2;
  return params;
}

ShadowParams Params(int size, int sharpness, int darkness) {
  ShadowParams params;
  params.size = static_cast<int8_t>(size);
  params.sharpness = static_cast<uint8_t>(sharpness);
  params.darkness = static_cast<uint8_t>(darkness);
  return params;
}

uint32_t Alpha(uint32_t pixel) {
  return pixel >> 24;
}

TEST(ShadowKernelTest, MainWindowKernelFallsFrom150To24OverFivePixels) {
  const auto kernel = BuildShadowKernel(MainWindowParams());
  ASSERT_EQ(kernel.radius, 5);
  ASSERT_EQ(kernel.pixels.size(), 121u);
  const uint32_t expected[] = {150, 125, 100, 75, 50, 24};
  for (int d = 0; d <= 5; ++d) {
    SCOPED_TRACE(d);
    // Black: the colour bytes stay 0, so the whole value is the alpha.
    EXPECT_EQ(kernel.At(d, 0), expected[d] << 24);
    EXPECT_EQ(kernel.At(-d, 0), expected[d] << 24);
    EXPECT_EQ(kernel.At(0, d), expected[d] << 24);
    EXPECT_EQ(kernel.At(0, -d), expected[d] << 24);
  }
  EXPECT_EQ(Alpha(kernel.At(3, 4)), 24u);  // distance exactly 5
  EXPECT_EQ(kernel.At(5, 1), 0u);          // beyond 5
  EXPECT_EQ(kernel.At(4, 4), 0u);
  EXPECT_EQ(kernel.At(-5, -5), 0u);
  EXPECT_EQ(kernel.core, 150u << 24);
}

TEST(ShadowKernelTest, AlphaIsTruncatedDoubleArithmetic) {
  // Expected values computed with IEEE double arithmetic outside this program; several of them
  // come out one higher or lower with extended-precision intermediates.
  struct Row {
    int size, sharpness, darkness, dx, dy;
    uint32_t alpha;
  };
  const Row rows[] = {
      {0, 2, 150, 1, 0, 100}, {0, 2, 150, 2, 0, 50},  {0, 2, 150, 1, 1, 79},
      {0, 4, 140, 3, 0, 56},  {0, 4, 160, 3, 0, 64},  {8, 3, 200, 4, 3, 200},
      {8, 3, 200, 6, 0, 150}, {8, 3, 200, 6, 3, 114}, {8, 3, 200, 8, 0, 50},
      {8, 3, 200, 6, 6, 0},   {6, 6, 255, 3, 4, 72},  {0, 0, 77, 0, 0, 77},
      {0, 5, 150, 2, 0, 100}, {0, 5, 150, 4, 0, 50},  {8, 3, 200, 2, 2, 200},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << "size " << row.size << " sharpness " << row.sharpness << " darkness "
                 << row.darkness << " at " << row.dx << "," << row.dy);
    const auto kernel = BuildShadowKernel(Params(row.size, row.sharpness, row.darkness));
    EXPECT_EQ(Alpha(kernel.At(row.dx, row.dy)), row.alpha);
  }
}

TEST(ShadowKernelTest, PixelsArePremultipliedWithRedFromTheLowByte) {
  EXPECT_EQ(PackShadowPixel(RGB(255, 128, 0), 150), 0x96964B00u);
  EXPECT_EQ(PackShadowPixel(RGB(0, 0, 255), 255), 0xFF0000FFu);
  EXPECT_EQ(PackShadowPixel(RGB(200, 100, 50), 0), 0u);
  EXPECT_EQ(PackShadowPixel(RGB(30, 60, 200), 24), (24u << 24) | (2u << 16) | (5u << 8) | 18u);
  ShadowParams params = MainWindowParams();
  params.color = RGB(255, 128, 0);
  const auto kernel = BuildShadowKernel(params);
  EXPECT_EQ(kernel.At(1, 0), PackShadowPixel(RGB(255, 128, 0), 125));
}

TEST(ShadowOutlineTest, RowsTakeFirstAndLastCoveredColumnClippedToTheParent) {
  const PixelRect rects[] = {
      {2, 0, 5, 2},    // rows 0-1
      {4, 1, 8, 3},    // overlaps row 1, alone in row 2
      {-3, 4, 20, 5},  // wider than the parent
      {1, 6, 2, 9},    // runs past the bottom
      {12, 0, 15, 9},  // right of the parent: ignored
  };
  const auto outline = zarvik::shadow::OutlineFromRects(rects, 5, 10, 7);
  const std::vector<Span> expected = {{2, 5}, {2, 8}, {4, 8}, {10, 0}, {0, 10}, {10, 0}, {1, 2}};
  EXPECT_EQ(outline, expected);
  EXPECT_EQ(zarvik::shadow::OutlineFromRects(nullptr, 0, 3, 2),
            (std::vector<Span>{{3, 0}, {3, 0}}));
}

TEST(ShadowOutlineTest, WorkingTableAndErosionKeepTheEmptySpanNumbers) {
  const std::vector<Span> outline = {{0, 10}, {1, 9}, {0, 10}};
  auto working = zarvik::shadow::BuildWorkingSpans(outline, 10, 1);
  EXPECT_EQ(working,
            (std::vector<Span>{{10, 0}, {10, 0}, {1, 11}, {2, 10}, {1, 11}, {10, 0}, {10, 0}}));
  zarvik::shadow::ErodeWorkingSpans(working, 1);
  EXPECT_EQ(working,
            (std::vector<Span>{{10, 0}, {11, -1}, {11, -1}, {3, 9}, {11, -1}, {11, -1}, {10, 0}}));
  zarvik::shadow::ErodeWorkingSpans(working, 1);
  EXPECT_EQ(working, (std::vector<Span>{
                         {10, 0}, {12, -2}, {12, -2}, {12, -2}, {12, -2}, {12, -2}, {10, 0}}));
}

// The main window's settings on a rectangle: the shadow shows 4 px left and right, 2 px at the
// top and 6 px at the bottom, fading 24, 50, 75, 100 towards the parent at the sides.
TEST(ShadowImageTest, RectangularParentGetsItsVisibleBandsFromTheKernel) {
  const int width = 40, height = 30;
  ShadowImage image(width + 8, height + 8);
  zarvik::shadow::RenderShadowFromOutline(
      image.Bits(), width, height, std::vector<Span>(height, Span{0, width}), MainWindowParams());
  ASSERT_TRUE(image.GuardsIntact());
  const int middleX = width / 2 + 4;
  const int middleRow = height / 2 + 4;

  const uint32_t topColumn[] = {24, 50};
  for (int row = 0; row < 2; ++row)
    EXPECT_EQ(Alpha(image.At(middleX, row)), topColumn[row]) << "top row " << row;
  const uint32_t bottomColumn[] = {150, 125, 100, 75, 50, 24};
  for (int k = 0; k < 6; ++k)
    EXPECT_EQ(Alpha(image.At(middleX, height + 2 + k)), bottomColumn[k]) << "bottom row " << k;
  const uint32_t sideRow[] = {24, 50, 75, 100};
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(Alpha(image.At(x, middleRow)), sideRow[x]) << "left column " << x;
    EXPECT_EQ(Alpha(image.At(width + 7 - x, middleRow)), sideRow[x]) << "right column " << x;
  }
  // Under the parent (shifted 2 rows up, as the window is placed) everything is transparent.
  for (int row = 2; row < height + 2; ++row) {
    for (int x = 4; x < width + 4; ++x)
      ASSERT_EQ(image.At(x, row), 0u) << x << "," << row;
  }
}

TEST(ShadowImageTest, NegativeSizeOrMismatchedOutlineDrawsNothing) {
  ShadowParams params = MainWindowParams();
  params.size = -3;
  ShadowImage small(40 - 6, 30 - 6);
  zarvik::shadow::RenderShadowFromOutline(small.Bits(), 40, 30, std::vector<Span>(30, Span{0, 40}),
                                          params);
  EXPECT_TRUE(small.GuardsIntact());
  EXPECT_TRUE(small == ShadowImage(40 - 6, 30 - 6));

  ShadowImage image(48, 38);
  zarvik::shadow::RenderShadowFromOutline(image.Bits(), 40, 30, std::vector<Span>(12, Span{0, 40}),
                                          MainWindowParams());
  EXPECT_TRUE(image == ShadowImage(48, 38));
}

// A rounded parent lets the shadow show through its cut-off corners.
TEST(ShadowImageTest, RoundedParentShowsShadowInItsCorners) {
  const int width = 60, height = 40;
  zarvik::ScopedRegion rounded(CreateRoundRectRgn(0, 0, width + 1, height + 1, 16, 16));
  ASSERT_TRUE(rounded);
  const auto outline = DuiLib::ShadowOutlineFromRegion(rounded.Get(), width, height);
  rounded.Reset();
  ASSERT_GT(outline[0].start, 2);
  EXPECT_LT(outline[0].end, width - 2);
  EXPECT_EQ(outline[height / 2], (Span{0, width}));

  ShadowImage rect(width + 8, height + 8), round(width + 8, height + 8);
  zarvik::shadow::RenderShadowFromOutline(
      rect.Bits(), width, height, std::vector<Span>(height, Span{0, width}), MainWindowParams());
  zarvik::shadow::RenderShadowFromOutline(round.Bits(), width, height, outline, MainWindowParams());
  // The parent's top-left 8 x 8 corner lies at shadow columns 4..11, rows 2..9.
  uint32_t rectCorner = 0, roundCorner = 0;
  for (int row = 2; row < 10; ++row) {
    for (int x = 4; x < 12; ++x) {
      rectCorner += Alpha(rect.At(x, row));
      roundCorner += Alpha(round.At(x, row));
    }
  }
  EXPECT_EQ(rectCorner, 0u);
  EXPECT_GT(roundCorner, 0u);
  EXPECT_EQ(round.At(4 + outline[0].start, 2), 0u);  // where the parent covers, nothing shows
  EXPECT_EQ(round.At(width / 2, 5), 0u);
}

}  // namespace
