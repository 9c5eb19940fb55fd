// Synthetic video: the frames a broadcaster sends (a moving pattern in colours of its uid with
// the uid written on it) and drawing received frames into a window.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>

namespace agora_standin {

constexpr int kFrameWidth = 160;
constexpr int kFrameHeight = 120;

// The colour a uid's pattern is made of (its stripes alternate with a darker shade).
COLORREF UidColor(uint32_t uid);

class FramePainter {
 public:
  explicit FramePainter(uint32_t uid);
  ~FramePainter();
  FramePainter(const FramePainter&) = delete;
  FramePainter& operator=(const FramePainter&) = delete;
  // Frame number n as 24-bit bottom-up DIB rows (kFrameWidth x kFrameHeight).
  std::string Paint(unsigned n);

 private:
  uint32_t m_uid;
  HDC m_dc = nullptr;
  HBITMAP m_bitmap = nullptr;
  HGDIOBJ m_oldBitmap = nullptr;
  HFONT m_font = nullptr;
  uint8_t* m_bits = nullptr;
};

// Draws a frame over the window's whole client area (fit: keeps the picture's proportions,
// the rest black; hidden: fills the area and cuts the overflow).
void DrawFrame(HWND window, int width, int height, const std::string& pixels, int renderMode);

}  // namespace agora_standin
