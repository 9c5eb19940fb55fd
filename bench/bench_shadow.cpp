// The main window's shadow image (1480 x 890, size 4, sharpness 5, darkness 150, offset 0,2, the
// skin's 6 x 6 round corners) drawn by the shadow window's span-based drawing and by the
// per-pixel reference, side by side in one run. Prints the times and the speed-up.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "bench_clock.h"
#include "shadow_reference.h"
#include "ui/wnd_shadow.h"

namespace {

constexpr int kWidth = 1480;
constexpr int kHeight = 890;
constexpr int kCorner = 6;

using zarvik_bench::Now;

struct Timing {
  double median = 0;
  double best = 0;
  double worst = 0;
};

Timing Summarise(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times.front(), times.back()};
}

// Runs the two drawings in turn, each on a freshly cleared image as the shadow window clears it
// (the clearing is not timed), until `budget` seconds are spent; taking turns gives both the
// same share of whatever else the machine is doing.
void Race(std::vector<uint32_t>& referenceImage,
          const std::function<void(uint32_t*)>& reference,
          std::vector<uint32_t>& fastImage,
          const std::function<void(uint32_t*)>& fast,
          double budget,
          Timing* referenceTime,
          Timing* fastTime,
          Timing* floorTime,
          int* rounds) {
  // The floor: writing the finished image's bytes once into a cleared bitmap of the same size.
  std::vector<uint32_t> floorImage(fastImage.size());
  std::vector<double> referenceTimes, fastTimes, floorTimes;
  const double end = Now() + budget;
  while (referenceTimes.size() < 5 || Now() < end) {
    std::fill(referenceImage.begin(), referenceImage.end(), 0u);
    double start = Now();
    reference(referenceImage.data());
    referenceTimes.push_back(Now() - start);
    std::fill(fastImage.begin(), fastImage.end(), 0u);
    start = Now();
    fast(fastImage.data());
    fastTimes.push_back(Now() - start);
    std::fill(floorImage.begin(), floorImage.end(), 0u);
    start = Now();
    std::memcpy(floorImage.data(), fastImage.data(), fastImage.size() * sizeof(uint32_t));
    floorTimes.push_back(Now() - start);
  }
  *referenceTime = Summarise(referenceTimes);
  *fastTime = Summarise(fastTimes);
  *floorTime = Summarise(floorTimes);
  *rounds = static_cast<int>(referenceTimes.size());
}

void Row(const char* label, const Timing& ours, const Timing& floor, const char* goal) {
  std::printf("ROW\t%s\tms\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%s\n", label, ours.median * 1e3,
              ours.best * 1e3, ours.worst * 1e3, floor.median * 1e3, floor.best * 1e3,
              floor.worst * 1e3, goal);
}

void Report(const char* title,
            const Timing& reference,
            const Timing& fast,
            const Timing& floor,
            int rounds,
            bool identical) {
  std::printf("%s (%d rounds)\n", title, rounds);
  std::printf("  per-pixel reference: median %8.1f us, best %8.1f us\n", reference.median * 1e6,
              reference.best * 1e6);
  std::printf("  span drawing:        median %8.1f us, best %8.1f us\n", fast.median * 1e6,
              fast.best * 1e6);
  std::printf("  speed-up:            %.1fx on medians, %.1fx on best times (target: 50x)\n",
              reference.median / fast.median, reference.best / fast.best);
  std::printf("  write floor:         median %8.1f us, best %8.1f us\n", floor.median * 1e6,
              floor.best * 1e6);
  std::printf("  images identical:    %s\n", identical ? "yes" : "NO");
}

}  // namespace

int main() {
  // A real window with the main window's region when a display is there, else the region alone.
  DuiLib::CWndShadow shadow;
  shadow.SetSize(4);
  shadow.SetPosition(0, 2);
  const zarvik::shadow::ShadowParams params = shadow.GetParams();

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ShadowBenchParent";
  RegisterClassExW(&wc);
  HWND parent = CreateWindowExW(0, L"ShadowBenchParent", L"bench", WS_POPUP, 0, 0, kWidth, kHeight,
                                nullptr, nullptr, wc.hInstance, nullptr);
  if (parent != nullptr)
    SetWindowRgn(parent, CreateRoundRectRgn(0, 0, kWidth + 1, kHeight + 1, kCorner, kCorner),
                 FALSE);
  HRGN region = CreateRoundRectRgn(0, 0, kWidth + 1, kHeight + 1, kCorner, kCorner);
  const RECT parentRect = {0, 0, kWidth, kHeight};

  const int imageWidth = kWidth + 2 * params.size;
  const int imageHeight = kHeight + 2 * params.size;
  std::vector<uint32_t> fastImage(static_cast<size_t>(imageWidth) * imageHeight);
  std::vector<uint32_t> referenceImage(fastImage.size());

  auto fast = [&](uint32_t* bits) { shadow.RenderShadowBits(bits, parent, parentRect); };
  auto reference = [&](uint32_t* bits) {
    HRGN windowRegion = CreateRectRgn(0, 0, 0, 0);
    const bool hasRegion = GetWindowRgn(parent, windowRegion) != ERROR;
    RenderShadowPerPixel(bits, hasRegion ? windowRegion : nullptr, kWidth, kHeight, params);
    DeleteObject(windowRegion);
  };

  std::printf(
      "shadow image %d x %d for a %d x %d parent: size %d, sharpness %d, darkness %d, "
      "offset %d,%d, round corners %d x %d\n",
      imageWidth, imageHeight, kWidth, kHeight, params.size, params.sharpness, params.darkness,
      params.xOffset, params.yOffset, kCorner, kCorner);
  bool allIdentical = true;
  Timing referenceTime, fastTime, floorTime;
  int rounds = 0;

  if (parent != nullptr) {
    // What the shadow window does: the region read from the window, then the drawing.
    fast(fastImage.data());
    reference(referenceImage.data());
    Race(referenceImage, reference, fastImage, fast, 2.0, &referenceTime, &fastTime, &floorTime, &rounds);
    const bool identical = fastImage == referenceImage;
    allIdentical = allIdentical && identical;
    Report("from the window's region", referenceTime, fastTime, floorTime, rounds, identical);
    if (identical) {
      Row("shadow 1480x890 from the window's region vs writing its bytes", fastTime, floorTime,
          "<=2");
      Row("shadow 1480x890 per-pixel reference vs writing its bytes (information)", referenceTime,
          floorTime, "-");
    }
  } else {
    std::printf("no display: no window, the region alone is measured\n");
  }

  // The drawing alone, both from the same region handle.
  auto fastFromRegion = [&](uint32_t* bits) {
    const auto outline = DuiLib::ShadowOutlineFromRegion(region, kWidth, kHeight);
    zarvik::shadow::RenderShadowFromOutline(bits, kWidth, kHeight, outline, params);
  };
  auto referenceFromRegion = [&](uint32_t* bits) {
    RenderShadowPerPixel(bits, region, kWidth, kHeight, params);
  };
  Race(referenceImage, referenceFromRegion, fastImage, fastFromRegion, 2.0, &referenceTime,
       &fastTime, &floorTime, &rounds);
  const bool identical = fastImage == referenceImage;
  allIdentical = allIdentical && identical;
  Report("from a region handle", referenceTime, fastTime, floorTime, rounds, identical);
  if (identical)  // a wrong image has no figure worth a row
    Row("shadow 1480x890 from a region handle vs writing its bytes", fastTime, floorTime, "<=2");

  DeleteObject(region);
  if (parent != nullptr)
    DestroyWindow(parent);
  return allIdentical ? 0 : 1;
}
