#include "shadow_reference.h"

#include "common/scoped_handle.h"

#include <algorithm>
#include <vector>

using zarvik::shadow::ShadowKernel;
using zarvik::shadow::ShadowParams;

void RenderShadowPerPixel(uint32_t* bits,
                          HRGN parentRegion,
                          int width,
                          int height,
                          const ShadowParams& params) {
  const int size = params.size;
  if (size < 0 || width <= 0 || height <= 0)
    return;
  const int shadowWidth = width + 2 * size;
  const int shadowHeight = height + 2 * size;
  const int sharpness = params.sharpness;

  // 1. Outline: first and last covered column of every parent row.
  zarvik::ScopedRegion ownedRegion(CreateRectRgn(0, 0, width, height));
  HRGN region = ownedRegion.Get();
  if (parentRegion != nullptr)
    CombineRgn(region, parentRegion, nullptr, RGN_COPY);
  std::vector<int> outlineStart(height), outlineEnd(height);
  std::vector<int> start(shadowHeight + 2, width), end(shadowHeight + 2, 0);
  for (int y = 0; y < height; ++y) {
    int x;
    for (x = 0; x < width; ++x) {
      if (PtInRegion(region, x, y))
        break;
    }
    if (x == width) {
      outlineStart[y] = width;
      outlineEnd[y] = 0;
      start[y + size + 1] = width;
      end[y + size + 1] = 0;
      continue;
    }
    outlineStart[y] = x;
    start[y + size + 1] = x + size;
    for (x = width - 1; x >= outlineStart[y]; --x) {
      if (PtInRegion(region, x, y))
        break;
    }
    outlineEnd[y] = x + 1;
    end[y + size + 1] = x + 1 + size;
  }
  ownedRegion.Reset();

  // 2. Erosion.
  if (sharpness > size) {
    std::vector<int> nextStart = start, nextEnd = end;
    for (int pass = 0; pass < sharpness - size; ++pass) {
      for (int j = 1; j <= shadowHeight; ++j) {
        nextStart[j] = std::max(std::max(start[j - 1], start[j]), start[j + 1]) + 1;
        nextEnd[j] = std::min(std::min(end[j - 1], end[j]), end[j + 1]) - 1;
      }
      start.swap(nextStart);
      end.swap(nextEnd);
    }
  }

  // 3. Kernel.
  const ShadowKernel kernel = zarvik::shadow::BuildShadowKernel(params);
  const int radius = kernel.radius;
  const uint32_t core = kernel.core;
  auto pixel = [&](int x, int row) -> uint32_t& {
    return bits[static_cast<size_t>(shadowHeight - 1 - row) * shadowWidth + x];
  };
  auto stamp = [&](int cx, int cy) {
    for (int dy = -radius; dy <= radius; ++dy) {
      for (int dx = -radius; dx <= radius; ++dx) {
        uint32_t& target = pixel(cx + dx, cy + dy);
        target = std::max(target, kernel.At(dx, dy));
      }
    }
  };

  // 4. Blurred border along the left and right runs of every row.
  for (int i = radius; i < shadowHeight - radius; ++i) {
    const int s = start[i + 1];
    const int e = end[i + 1];
    if (s >= e)
      continue;
    int x;
    const int leftStop = std::min(std::max(start[i], start[i + 2]) + 1, e);
    for (x = s; x < leftStop; ++x)
      stamp(x, i);
    for (x = std::max(x, std::min(end[i], end[i + 2]) - 1); x < e; ++x)
      stamp(x, i);
  }

  // 5. Core and the hole under the parent.
  const int xOffset = params.xOffset;
  const int yOffset = params.yOffset;
  const int first = std::min(radius, std::max(size - yOffset, 0));
  const int last =
      std::max(shadowHeight - radius, std::min(height + size - yOffset, height + 2 * size));
  for (int i = first; i < last; ++i) {
    const int s = start[i + 1];
    const int e = end[i + 1];
    const int p = i - size + yOffset;
    if (p < 0 || p >= height) {
      for (int x = s; x < e; ++x)
        pixel(x, i) = core;
      continue;
    }
    const int holeStart = outlineStart[p] + size - xOffset;
    const int holeEnd = outlineEnd[p] + size - xOffset;
    for (int x = s; x < std::min(holeStart, e); ++x)
      pixel(x, i) = core;
    for (int x = std::max(holeStart, 0); x < std::min(holeEnd, shadowWidth); ++x)
      pixel(x, i) = 0;
    for (int x = std::max(holeEnd, s); x < e; ++x)
      pixel(x, i) = core;
  }
}
