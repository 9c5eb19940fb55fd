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
  DoublePrecisionScope() : m_saved(_controlfp(0, 0)) {
    _controlfp(_PC_53, _MCW_PC);
  }
  ~DoublePrecisionScope() {
    _controlfp(m_saved, _MCW_PC);
  }

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
};

Span Normalised(Span span) {
  return span.Empty() ? Span{0, 0} : span;
}

// [0, width) without the given spans, as sorted disjoint segments.
int FreeSegments(Span blocked[3], int width, Span out[4]) {
  std::sort(blocked, blocked + 3, [](const Span& a, const Span& b) { return a.start < b.start; });
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

// One image row being drawn. Pixels outside [writtenStart, writtenEnd) have not been written in
// this row yet and are still 0, so a constant can be stored there without comparing.
struct RowWriter {
  uint32_t* row;
  int writtenStart = 0;
  int writtenEnd = 0;

  void Mark(int lo, int hi) {
    if (lo >= hi)
      return;
    if (writtenStart >= writtenEnd) {
      writtenStart = lo;
      writtenEnd = hi;
    } else {
      writtenStart = std::min(writtenStart, lo);
      writtenEnd = std::max(writtenEnd, hi);
    }
  }

  void MaxFill(int lo, int hi, uint32_t value) {
    if (lo >= hi)
      return;
    const int keepLo = std::max(lo, writtenStart);
    const int keepHi = std::min(hi, writtenEnd);
    if (keepLo >= keepHi) {
      std::fill(row + lo, row + hi, value);
    } else {
      std::fill(row + lo, row + keepLo, value);
      for (int x = keepLo; x < keepHi; ++x)
        row[x] = std::max(row[x], value);
      std::fill(row + keepHi, row + hi, value);
    }
    Mark(lo, hi);
  }

  // Stamps the kernel row at one vertical distance along every centre of `run`, restricted to
  // `segment`. Stamping keeps the larger value; as the kernel only falls with the distance from
  // its centre, a pixel gets the kernel value of its nearest centre.
  void StampRun(const uint32_t* kernelRow, int radius, Span run, Span segment) {
    const int a = run.start;
    const int b = run.end;
    int lo = std::max(segment.start, a - radius);
    int hi = std::min(segment.end, a);
    for (int x = lo; x < hi; ++x)
      row[x] = std::max(row[x], kernelRow[a - x]);
    Mark(lo, hi);
    MaxFill(std::max(segment.start, a), std::min(segment.end, b), kernelRow[0]);
    lo = std::max(segment.start, b);
    hi = std::min(segment.end, b + radius);
    for (int x = lo; x < hi; ++x)
      row[x] = std::max(row[x], kernelRow[x - b + 1]);
    Mark(lo, hi);
  }
};

// Copies pixels [lo, hi) of the neighbouring row; the pieces are mostly a few pixels wide.
inline void CopyPixels(uint32_t* to, const uint32_t* from, int lo, int hi) {
  if (hi - lo > 16) {
    std::memcpy(to + lo, from + lo, sizeof(uint32_t) * (hi - lo));
    return;
  }
  for (int x = lo; x < hi; ++x)
    to[x] = from[x];
}

// Centres of the soft border, row by row. Rows closer than the kernel radius to the image's
// edge get none, so every stamp stays inside the image.
std::vector<StampRuns> BorderCentres(const std::vector<Span>& working,
                                     int shadowHeight,
                                     int radius) {
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
  return runs;
}

// What the core step sees of a row: whether it fills the row at all, with or without a parent
// row, the working span and that parent row's span. Equal keys give equal fills.
struct CoreKey {
  int mode = 0;  // 0: outside the core rows, 1: no parent row, 2: a parent row
  Span span{0, 0};
  Span parent{0, 0};
  bool operator==(const CoreKey& other) const {
    return mode == other.mode && span == other.span && parent == other.parent;
  }
};

// The solid core of the shadow and the hole the parent leaves in it, row by row.
class CorePlan {
 public:
  CorePlan(const std::vector<Span>& outline,
           const std::vector<Span>& working,
           int width,
           const ShadowParams& params,
           int radius)
      : m_outline(outline),
        m_working(working),
        m_height(static_cast<int>(outline.size())),
        m_size(params.size),
        m_xOffset(params.xOffset),
        m_yOffset(params.yOffset),
        m_shadowWidth(width + 2 * params.size),
        m_shadowHeight(m_height + 2 * params.size),
        m_coreBegin(std::min(radius, std::max(m_size - m_yOffset, 0))),
        m_coreEnd(std::max(m_shadowHeight - radius,
                           std::min(m_height + m_size - m_yOffset, m_shadowHeight))) {}

  int ShadowHeight() const { return m_shadowHeight; }

  CoreKey KeyOf(int i) const {
    CoreKey key;
    if (i < m_coreBegin || i >= m_coreEnd)
      return key;
    key.span = m_working[i + 1];
    const int parentRow = i - m_size + m_yOffset;
    key.mode = parentRow < 0 || parentRow >= m_height ? 1 : 2;
    if (key.mode == 2)
      key.parent = m_outline[parentRow];
    return key;
  }

  RowFill FillOf(const CoreKey& key) const {
    RowFill fill;
    if (key.mode == 1) {
      fill.coreLeft = Normalised(key.span);
    } else if (key.mode == 2) {
      const int holeStart = key.parent.start + m_size - m_xOffset;
      const int holeEnd = key.parent.end + m_size - m_xOffset;
      fill.coreLeft = Normalised({key.span.start, std::min(holeStart, key.span.end)});
      fill.hole = Normalised({std::max(holeStart, 0), std::min(holeEnd, m_shadowWidth)});
      fill.coreRight = Normalised({std::max(holeEnd, key.span.start), key.span.end});
    }
    return fill;
  }

 private:
  const std::vector<Span>& m_outline;
  const std::vector<Span>& m_working;
  const int m_height;
  const int m_size;
  const int m_xOffset;
  const int m_yOffset;
  const int m_shadowWidth;
  const int m_shadowHeight;
  const int m_coreBegin;
  const int m_coreEnd;
};

// A row is drawn from scratch when its core key differs from the next row's or when the
// centres within the kernel's reach differ from those of the next row; otherwise it repeats
// the next row, which is stored just before it.
std::vector<uint8_t> FreshRows(const std::vector<StampRuns>& runs,
                               const CorePlan& core,
                               int radius) {
  const int shadowHeight = core.ShadowHeight();
  std::vector<uint8_t> fresh(static_cast<size_t>(shadowHeight), 0);
  fresh[shadowHeight - 1] = 1;
  for (int j = 0; j <= shadowHeight; ++j) {
    const StampRuns current = j < shadowHeight ? runs[j] : StampRuns{};
    const StampRuns previous = j > 0 ? runs[j - 1] : StampRuns{};
    if (current == previous)
      continue;
    // Rows r whose reach [r - radius, r + radius] or the next row's takes in row j or j - 1.
    for (int r = std::max(j - radius - 1, 0); r <= std::min(j + radius - 1, shadowHeight - 1); ++r)
      fresh[r] = 1;
  }
  CoreKey nextKey = core.KeyOf(shadowHeight - 1);
  for (int r = shadowHeight - 2; r >= 0; --r) {
    const CoreKey key = core.KeyOf(r);
    if (!(key == nextKey))
      fresh[r] = 1;
    nextKey = key;
  }
  return fresh;
}

// Draws shadow row `r` from scratch: the soft border stamped from every centre within the
// kernel's reach, then the solid core.
void DrawFreshRow(uint32_t* row,
                  int r,
                  const RowFill& fill,
                  const std::vector<StampRuns>& runs,
                  const ShadowKernel& kernel,
                  int shadowWidth) {
  const int radius = kernel.radius;
  const int side = 2 * radius + 1;
  const int shadowHeight = static_cast<int>(runs.size());
  Span blocked[3] = {fill.hole, fill.coreLeft, fill.coreRight};
  Span segments[4];
  const int segmentCount = FreeSegments(blocked, shadowWidth, segments);
  RowWriter writer{row};
  // Nearest centre rows first: their larger values can be stored without comparing.
  for (int distance = 0; distance <= radius; ++distance) {
    const uint32_t* kernelRow =
        kernel.pixels.data() + static_cast<size_t>(distance + radius) * side + radius;
    if (kernelRow[0] == 0)
      break;  // the kernel only falls further out
    for (int pass = 0; pass < (distance == 0 ? 1 : 2); ++pass) {
      const int i = pass == 0 ? r - distance : r + distance;
      if (i < 0 || i >= shadowHeight)
        continue;
      for (const Span& run : {runs[i].left, runs[i].right}) {
        if (run.Empty())
          continue;
        for (int k = 0; k < segmentCount; ++k)
          writer.StampRun(kernelRow, radius, run, segments[k]);
      }
    }
  }
  std::fill(row + fill.coreLeft.start, row + fill.coreLeft.end, kernel.core);
  std::fill(row + fill.coreRight.start, row + fill.coreRight.end, kernel.core);
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

  [[maybe_unused]] DoublePrecisionScope precision;  // does nothing off 32-bit x86
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
      kernel.pixels[static_cast<size_t>(dy + kernel.radius) * side + (dx + kernel.radius)] = pixel;
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
      next[j].start = std::max({working[j - 1].start, working[j].start, working[j + 1].start}) + 1;
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
  if (size < 0 || width <= 0 || height <= 0 || outline.size() != static_cast<size_t>(height))
    return;
  const int shadowWidth = width + 2 * size;
  const int shadowHeight = height + 2 * size;
  std::vector<Span> working = BuildWorkingSpans(outline, width, size);
  if (params.sharpness > size)
    ErodeWorkingSpans(working, params.sharpness - size);
  const ShadowKernel kernel = BuildShadowKernel(params);
  const std::vector<StampRuns> runs = BorderCentres(working, shadowHeight, kernel.radius);
  const CorePlan core(outline, working, width, params, kernel.radius);
  const std::vector<uint8_t> fresh = FreshRows(runs, core, kernel.radius);

  // Rows in the order they are stored (bottom-up).
  int r = shadowHeight - 1;
  while (r >= 0) {
    uint32_t* row = bits + static_cast<size_t>(shadowHeight - 1 - r) * shadowWidth;
    const RowFill fill = core.FillOf(core.KeyOf(r));
    if (!fresh[r]) {
      // A band of rows that repeat the row before them; the hole is the same in all of them
      // and stays 0.
      int last = r;
      while (last > 0 && !fresh[last - 1])
        --last;
      const int leftEnd = fill.hole.Empty() ? shadowWidth : fill.hole.start;
      const int rightStart = fill.hole.Empty() ? shadowWidth : fill.hole.end;
      for (; r >= last; --r, row += shadowWidth) {
        const uint32_t* below = row - shadowWidth;
        CopyPixels(row, below, 0, leftEnd);
        CopyPixels(row, below, rightStart, shadowWidth);
      }
      continue;
    }
    DrawFreshRow(row, r, fill, runs, kernel, shadowWidth);
    --r;
  }
}

}  // namespace zarvik::shadow
