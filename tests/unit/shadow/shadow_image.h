// A shadow image for tests: a cleared bottom-up pixel buffer with guard pixels on both sides, so
// a write outside the image shows up.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

class ShadowImage {
 public:
  static constexpr uint32_t kGuard = 0xA5C3E1F7u;
  static constexpr size_t kGuardPixels = 4096;

  ShadowImage(int width, int height)
      : m_width(width),
        m_height(height),
        m_pixels(static_cast<size_t>(width) * height + 2 * kGuardPixels, 0) {
    std::fill(m_pixels.begin(), m_pixels.begin() + kGuardPixels, kGuard);
    std::fill(m_pixels.end() - kGuardPixels, m_pixels.end(), kGuard);
  }

  uint32_t* Bits() { return m_pixels.data() + kGuardPixels; }
  // Shadow row `row` counted from the top.
  uint32_t At(int x, int row) const {
    return m_pixels[kGuardPixels + static_cast<size_t>(m_height - 1 - row) * m_width + x];
  }
  bool GuardsIntact() const {
    for (size_t k = 0; k < kGuardPixels; ++k) {
      if (m_pixels[k] != kGuard || m_pixels[m_pixels.size() - 1 - k] != kGuard)
        return false;
    }
    return true;
  }
  bool operator==(const ShadowImage& other) const { return m_pixels == other.m_pixels; }
  // First differing pixel as "x,row", or "" when equal.
  std::string FirstDifference(const ShadowImage& other) const {
    for (int row = 0; row < m_height; ++row) {
      for (int x = 0; x < m_width; ++x) {
        if (At(x, row) != other.At(x, row))
          return std::to_string(x) + "," + std::to_string(row);
      }
    }
    return std::string();
  }

 private:
  int m_width;
  int m_height;
  std::vector<uint32_t> m_pixels;
};
