#include "ui/shadow_bits.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#include <float.h>
#define ZARVIK_SHADOW_X87_GUARD 1
#endif

namespace zarvik::shadow {

namespace {

// On 32-bit x86 the compiler may do the kernel's arithmetic on the x87 unit with 64-bit
// mantissas, which turns (1 - 5/6) * 150 into 25 instead of the 24 that double arithmetic gives
// (and 2 px into 99 instead of 100). Rounding every step to double keeps the kernel the same on
// every build.
class DoublePrecisionScope {
 public:
#if defined(ZARVIK_SHADOW_X87_GUARD)
  DoublePrecisionScope() : m_saved(_controlfp(0, 0)) { _controlfp(_PC_53, _MCW_PC); }
  ~DoublePrecisionScope() { _controlfp(m_saved, _MCW_PC); }

 private:
  unsigned int m_saved;
#else
  DoublePrecisionScope() = default;
#endif
  DoublePrecisionScope(const DoublePrecisionScope&) = delete;
  DoublePrecisionScope& operator=(const DoublePrecisionScope&) = delete;
};

// The centres the soft border is stamped along in one shadow row: a run at the left end and one
// at the right end of the row's working span. Empty runs are stored as {0, 0} so that equal rows
// compare equal.
struct StampRuns {
  Span left{0, 0};
  Span right{0, 0};
  bool operator==(const StampRuns& other) const {
    return left == other.left && right == other.right;
  }
  bool operator!=(const StampRuns& other) const { return !(*this == other); }
};

// What the core step does to one shadow row: a transparent hole under the parent and up to two
// spans of solid core colour. All three are disjoint.
struct RowFill {
  Span hole{0, 0};
  Span coreLeft{0, 0};
  Span coreRight{0, 0};
  bool operator==(const RowFill& other) const {
    return hole == other.hole && coreLeft == other.coreLeft && coreRight == other.coreRight;
  }
};

Span Normalised(Span span) {
  return span.Empty() ? Span{0, 0} : span;
}

// [0, width) without the given spans, as sorted disjoint segments.
int FreeSegments(Span blocked[3], int width, Span out[4]) {
  std::sort(blocked, blocked + 3,
            [](const Span& a, const Span& b) { return a.start < b.start; });
  int count = 0;
  int from = 0;
  for (int k = 0; k < 3; ++k) {
    if (blocked[k].Empty())
      continue;
    if (blocked[k].start > from)
      out[count++] = {from, std::min(blocked[k].start, width)};
    from = std::max(from, blocked[k].end);
  }
  if (from < width)
    out[count++] = {from, width};
  return count;
}

// Stamps the kernel row at vertical distance `dy` along every centre of `run` into `row`,
// restricted to `segment`. Stamping keeps the larger value; as the kernel only falls with the
// distance from its centre, a pixel gets the kernel value of its nearest centre.
void StampRun(uint32_t* row, const uint32_t* kernelRow, int radius, Span run, Span segment) {
  const int a = run.start;
  const int b = run.end;
  int lo = std::max(segment.start, a - radius);
  int hi = std::min(segment.end, a);
  for (int x = lo; x < hi; ++x)
    row[x] = std::max(row[x], kernelRow[a - x]);
  lo = std::max(segment.start, a);
  hi = std::min(segment.end, b);
  const uint32_t centre = kernelRow[0];
  for (int x = lo; x < hi; ++x)
    row[x] = std::max(row[x], centre);
  lo = std::max(segment.start, b);
  hi = std::min(segment.end, b + radius);
  for (int x = lo; x < hi; ++x)
    row[x] = std::max(row[x], kernelRow[x - b + 1]);
}

}  // namespace

uint32_t PackShadowPixel(uint32_t color, uint8_t alpha) {
  const uint32_t red = color & 0xFF;
  const uint32_t green = (color >> 8) & 0xFF;
  const uint32_t blue = (color >> 16) & 0xFF;
  return (static_cast<uint32_t>(alpha) << 24) | ((red * alpha / 255) << 16) |
         ((green * alpha / 255) << 8) | (blue * alpha / 255);
}

ShadowKernel BuildShadowKernel(const ShadowParams& params) {
  const int size = params.size;
  const int sharpness = params.sharpness;
  ShadowKernel kernel;
  kernel.radius = std::max(size, sharpness);
  kernel.core = PackShadowPixel(params.color, params.darkness);
  const int solid = size > sharpness ? size - sharpness : 0;
  const int side = 2 * kernel.radius + 1;
  kernel.pixels.assign(static_cast<size_t>(side) * side, 0);

  DoublePrecisionScope precision;
  for (int dy = -kernel.radius; dy <= kernel.radius; ++dy) {
    for (int dx = -kernel.radius; dx <= kernel.radius; ++dx) {
      const double distance = std::sqrt(static_cast<double>(dx * dx + dy * dy));
      uint32_t pixel = 0;
      if (distance < solid) {
        pixel = kernel.core;
      } else if (distance <= kernel.radius) {
        const int alpha =
            static_cast<int>((1.0 - (distance - solid) / (sharpness + 1)) * params.darkness);
        pixel = PackShadowPixel(params.color, static_cast<uint8_t>(alpha));
      }
      kernel.pixels[static_cast<size_t>(dy + kernel.radius) * side + (dx + kernel.radius)] =
          pixel;
    }
  }
  return kernel;
}

std::vector<Span> OutlineFromRects(const PixelRect* rects, size_t count, int width, int height) {
  std::vector<Span> outline(static_cast<size_t>(std::max(height, 0)), Span{INT_MAX, INT_MIN});
  for (size_t k = 0; k < count; ++k) {
    const int left = std::max(rects[k].left, 0);
    const int right = std::min(rects[k].right, width);
    const int top = std::max(rects[k].top, 0);
    const int bottom = std::min(rects[k].bottom, height);
    if (left >= right)
      continue;
    for (int y = top; y < bottom; ++y) {
      outline[y].start = std::min(outline[y].start, left);
      outline[y].end = std::max(outline[y].end, right);
    }
  }
  for (Span& span : outline) {
    if (span.Empty())
      span = {width, 0};
  }
  return outline;
}

std::vector<Span> BuildWorkingSpans(const std::vector<Span>& outline, int width, int size) {
  const int height = static_cast<int>(outline.size());
  std::vector<Span> working(static_cast<size_t>(height + 2 * size + 2), Span{width, 0});
  for (int y = 0; y < height; ++y) {
    if (!outline[y].Empty())
      working[y + size + 1] = {outline[y].start + size, outline[y].end + size};
  }
  return working;
}

void ErodeWorkingSpans(std::vector<Span>& working, int passes) {
  const size_t rows = working.size();
  if (rows < 3)
    return;
  std::vector<Span> next = working;
  for (int pass = 0; pass < passes; ++pass) {
    for (size_t j = 1; j + 1 < rows; ++j) {
      next[j].start =
          std::max({working[j - 1].start, working[j].start, working[j + 1].start}) + 1;
      next[j].end = std::min({working[j - 1].end, working[j].end, working[j + 1].end}) - 1;
    }
    working.swap(next);
  }
}

void RenderShadowFromOutline(uint32_t* bits,
                             int width,
                             int height,
                             const std::vector<Span>& outline,
                             const ShadowParams& params) {
  const int size = params.size;
  if (size < 0 || width <= 0 || height <= 0 || outline.size() < static_cast<size_t>(height))
    return;
  const int shadowWidth = width + 2 * size;
  const int shadowHeight = height + 2 * size;
  const std::vector<Span> parentRows(outline.begin(), outline.begin() + height);

  std::vector<Span> working = BuildWorkingSpans(parentRows, width, size);
  if (params.sharpness > size)
    ErodeWorkingSpans(working, params.sharpness - size);
  const ShadowKernel kernel = BuildShadowKernel(params);
  const int radius = kernel.radius;
  const int side = 2 * radius + 1;

  // Centres of the soft border, row by row. Rows closer than the kernel radius to the image's
  // edge get none, so every stamp stays inside the image.
  std::vector<StampRuns> runs(static_cast<size_t>(shadowHeight));
  for (int i = radius; i < shadowHeight - radius; ++i) {
    const Span span = working[i + 1];
    if (span.Empty())
      continue;
    const Span above = working[i];
    const Span below = working[i + 2];
    const int leftEnd =
        std::max(span.start, std::min(std::max(above.start, below.start) + 1, span.end));
    const int rightStart = std::max(leftEnd, std::min(above.end, below.end) - 1);
    runs[i].left = Normalised({span.start, leftEnd});
    runs[i].right = Normalised({rightStart, span.end});
  }

  // changesBefore[j]: rows k < j whose runs differ from row k - 1's (rows outside have none).
  std::vector<int> changesBefore(static_cast<size_t>(shadowHeight) + 2, 0);
  for (int j = 0; j <= shadowHeight; ++j) {
    const StampRuns current = j < shadowHeight ? runs[j] : StampRuns{};
    const StampRuns previous = j > 0 ? runs[j - 1] : StampRuns{};
    changesBefore[j + 1] = changesBefore[j] + (current != previous ? 1 : 0);
  }
  auto changesIn = [&](int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, shadowHeight);
    return first > last ? 0 : changesBefore[last + 1] - changesBefore[first];
  };

  const int xOffset = params.xOffset;
  const int yOffset = params.yOffset;
  const int coreBegin = std::min(radius, std::max(size - yOffset, 0));
  const int coreEnd = std::max(shadowHeight - radius, std::min(height + size - yOffset, shadowHeight));
  auto fillOf = [&](int i) {
    RowFill fill;
    if (i < coreBegin || i >= coreEnd)
      return fill;
    const Span span = working[i + 1];
    const int parentRow = i - size + yOffset;
    if (parentRow < 0 || parentRow >= height) {
      fill.coreLeft = Normalised(span);
      return fill;
    }
    const int holeStart = parentRows[parentRow].start + size - xOffset;
    const int holeEnd = parentRows[parentRow].end + size - xOffset;
    fill.coreLeft = Normalised({span.start, std::min(holeStart, span.end)});
    fill.hole = Normalised({std::max(holeStart, 0), std::min(holeEnd, shadowWidth)});
    fill.coreRight = Normalised({std::max(holeEnd, span.start), span.end});
    return fill;
  };

  RowFill previousFill;
  for (int r = 0; r < shadowHeight; ++r) {
    // Bottom-up image: shadow row r is stored in image row shadowHeight - 1 - r.
    uint32_t* row = bits + static_cast<size_t>(shadowHeight - 1 - r) * shadowWidth;
    const RowFill fill = fillOf(r);
    if (r > 0 && fill == previousFill && changesIn(r - radius, r + radius) == 0) {
      // Same centres nearby and the same core: the row repeats the one above it.
      const uint32_t* above = row + shadowWidth;
      const Span hole = fill.hole;
      const int leftEnd = hole.Empty() ? shadowWidth : hole.start;
      std::memcpy(row, above, sizeof(uint32_t) * leftEnd);
      if (!hole.Empty())
        std::memcpy(row + hole.end, above + hole.end,
                    sizeof(uint32_t) * (shadowWidth - hole.end));
    } else {
      Span blocked[3] = {fill.hole, fill.coreLeft, fill.coreRight};
      Span segments[4];
      const int segmentCount = FreeSegments(blocked, shadowWidth, segments);
      for (int i = std::max(r - radius, 0); i <= std::min(r + radius, shadowHeight - 1); ++i) {
        const int dy = i > r ? i - r : r - i;
        const uint32_t* kernelRow = kernel.pixels.data() + static_cast<size_t>(dy + radius) * side + radius;
        if (kernelRow[0] == 0)
          continue;
        for (const Span& run : {runs[i].left, runs[i].right}) {
          if (run.Empty())
            continue;
          for (int k = 0; k < segmentCount; ++k)
            StampRun(row, kernelRow, radius, run, segments[k]);
        }
      }
      std::fill(row + fill.coreLeft.start, row + fill.coreLeft.end, kernel.core);
      std::fill(row + fill.coreRight.start, row + fill.coreRight.end, kernel.core);
    }
    previousFill = fill;
  }
}

}  // namespace zarvik::shadow
