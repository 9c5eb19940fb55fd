// The shadow image drawn the slow, literal way: the outline found by hit-testing the region pixel
// by pixel, the kernel stamped on every centre of the border runs, core and hole filled pixel by
// pixel. The tests and the benchmark hold the fast drawing against it, byte for byte.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/shadow_bits.h"

// `parentRegion` is the parent's window region in window coordinates, or null for a parent
// without one. `bits` is a cleared bottom-up image of (width + 2 * size) x (height + 2 * size).
void RenderShadowPerPixel(uint32_t* bits,
                          HRGN parentRegion,
                          int width,
                          int height,
                          const zarvik::shadow::ShadowParams& params);
