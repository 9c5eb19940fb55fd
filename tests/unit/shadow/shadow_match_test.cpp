// The fast drawing against the per-pixel reference, byte for byte, over shapes and settings.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/scoped_handle.h"
#include "shadow_image.h"
#include "shadow_reference.h"
#include "ui/shadow_bits.h"
#include "ui/wnd_shadow.h"

namespace {

using zarvik::shadow::ShadowParams;

struct Shape {
  const char* name;
  int width;
  int height;
  std::function<HRGN()> region;  // null result: a parent without a window region
};

// `a` combined with `b`, which is used up.
HRGN Combined(HRGN a, HRGN b, int mode) {
  zarvik::ScopedRegion second(b);
  CombineRgn(a, a, second.Get(), mode);
  return a;
}

std::vector<Shape> Shapes() {
  return {
      {"rectangle", 40, 30, [] { return HRGN(nullptr); }},
      {"main window corners", 200, 120, [] { return CreateRoundRectRgn(0, 0, 201, 121, 6, 6); }},
      {"large corners", 120, 90, [] { return CreateRoundRectRgn(0, 0, 121, 91, 40, 30); }},
      {"ellipse", 80, 60, [] { return CreateEllipticRgn(0, 0, 80, 60); }},
      {"two boxes with an empty band", 50, 40,
       [] { return Combined(CreateRectRgn(0, 0, 50, 10), CreateRectRgn(10, 20, 40, 40), RGN_OR); }},
      {"notch on the left", 60, 40,
       [] {
         return Combined(CreateRectRgn(0, 0, 60, 40), CreateRectRgn(0, 12, 25, 20), RGN_DIFF);
       }},
      {"triangle", 50, 50,
       [] {
         const POINT points[] = {{0, 0}, {50, 10}, {10, 50}};
         return CreatePolygonRgn(points, 3, WINDING);
       }},
      {"region beyond the window", 40, 30, [] { return CreateRectRgn(-10, -5, 30, 50); }},
      {"empty region", 30, 20, [] { return CreateRectRgn(0, 0, 0, 0); }},
      {"one pixel", 1, 1, [] { return HRGN(nullptr); }},
      {"three by two", 3, 2, [] { return HRGN(nullptr); }},
  };
}

ShadowParams Settings(int size, int sharpness, int darkness, int x, int y, COLORREF color = 0) {
  ShadowParams params;
  params.size = static_cast<int8_t>(size);
  params.sharpness = static_cast<uint8_t>(sharpness);
  params.darkness = static_cast<uint8_t>(darkness);
  params.xOffset = static_cast<int8_t>(x);
  params.yOffset = static_cast<int8_t>(y);
  params.color = color;
  return params;
}

std::vector<ShadowParams> AllSettings() {
  return {
      Settings(4, 5, 150, 0, 2),                      // the main window
      Settings(8, 5, 150, 0, 0),                      // defaults: sharpness below size
      Settings(6, 6, 200, -3, 5, RGB(200, 100, 50)),  // sharpness equal to size
      Settings(0, 5, 150, 0, 0),                      // no margin
      Settings(0, 0, 255, 0, 0),                      // no margin, no blur
      Settings(10, 2, 180, 7, -9, RGB(30, 60, 200)),  // wide solid core
      Settings(3, 12, 150, 2, 2),                     // many erosion passes
      Settings(4, 5, 150, 100, -100),                 // offsets beyond the image
      Settings(2, 5, 90, -128, 127),
  };
}

// The fast drawing as the shadow window does it, from the region's rectangles.
void RenderFast(uint32_t* bits, HRGN region, int width, int height, const ShadowParams& params) {
  std::vector<zarvik::shadow::Span> outline;
  if (region != nullptr) {
    outline = DuiLib::ShadowOutlineFromRegion(region, width, height);
  } else {
    const zarvik::shadow::PixelRect whole = {0, 0, width, height};
    outline = zarvik::shadow::OutlineFromRects(&whole, 1, width, height);
  }
  zarvik::shadow::RenderShadowFromOutline(bits, width, height, outline, params);
}

void ExpectSameImage(const Shape& shape, const ShadowParams& params) {
  const int imageWidth = shape.width + 2 * params.size;
  const int imageHeight = shape.height + 2 * params.size;
  zarvik::ScopedRegion region(shape.region());
  ShadowImage fast(imageWidth, imageHeight), reference(imageWidth, imageHeight);
  RenderFast(fast.Bits(), region.Get(), shape.width, shape.height, params);
  RenderShadowPerPixel(reference.Bits(), region.Get(), shape.width, shape.height, params);
  region.Reset();
  EXPECT_TRUE(reference.GuardsIntact());
  EXPECT_TRUE(fast.GuardsIntact());
  EXPECT_TRUE(fast == reference) << "first difference at " << fast.FirstDifference(reference);
}

TEST(ShadowMatchTest, FastImageEqualsPerPixelReferenceOnEveryShapeAndSetting) {
  for (const Shape& shape : Shapes()) {
    for (const ShadowParams& params : AllSettings()) {
      SCOPED_TRACE(testing::Message()
                   << shape.name << ", size " << int(params.size) << " sharpness "
                   << int(params.sharpness) << " darkness " << int(params.darkness) << " offset "
                   << int(params.xOffset) << "," << int(params.yOffset));
      ExpectSameImage(shape, params);
    }
  }
}

TEST(ShadowMatchTest, FastImageEqualsReferenceAtTheMainWindowSize) {
  const Shape shape = {"main window", 1480, 890,
                       [] { return CreateRoundRectRgn(0, 0, 1481, 891, 6, 6); }};
  ExpectSameImage(shape, Settings(4, 5, 150, 0, 2));
}

// Something is drawn at all: guards against two drawings that agree on an empty image.
TEST(ShadowMatchTest, ReferenceDrawsAShadow) {
  ShadowImage image(48, 38);
  RenderShadowPerPixel(image.Bits(), nullptr, 40, 30, Settings(4, 5, 150, 0, 2));
  EXPECT_EQ(image.At(20, 0) >> 24, 24u);
  EXPECT_EQ(image.At(20, 37) >> 24, 24u);
  EXPECT_EQ(image.At(20, 20), 0u);
}

}  // namespace
