#include "video_frames.h"

#include "channel_protocol.h"

namespace agora_standin {

static_assert(channel_protocol::CheckFrame(kFrameWidth, kFrameHeight,
                                           channel_protocol::FrameBytes(kFrameWidth,
                                                                        kFrameHeight)) ==
                  channel_protocol::FrameCheck::kOk,
              "the frames the engine sends must pass its own frame rule");

COLORREF UidColor(uint32_t uid) {
  // Spread neighbouring uids over clearly different, bright colours.
  uint32_t h = uid * 2654435761u;
  BYTE r = static_cast<BYTE>(64 + (h >> 24) % 192);
  BYTE g = static_cast<BYTE>(64 + (h >> 16) % 192);
  BYTE b = static_cast<BYTE>(64 + (h >> 8) % 192);
  return RGB(r, g, b);
}

FramePainter::FramePainter(uint32_t uid) : m_uid(uid) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = kFrameWidth;
  info.bmiHeader.biHeight = kFrameHeight;  // bottom-up, as sent
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  m_dc = CreateCompatibleDC(nullptr);
  m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  m_bits = static_cast<uint8_t*>(bits);
  if (m_bitmap)
    m_oldBitmap = SelectObject(m_dc, m_bitmap);
  m_font = CreateFontW(-26, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
}

FramePainter::~FramePainter() {
  if (m_oldBitmap)
    SelectObject(m_dc, m_oldBitmap);
  if (m_bitmap)
    DeleteObject(m_bitmap);
  if (m_font)
    DeleteObject(m_font);
  if (m_dc)
    DeleteDC(m_dc);
}

std::string FramePainter::Paint(unsigned n) {
  size_t stride = static_cast<size_t>(channel_protocol::FrameStride(kFrameWidth));
  if (!m_bits)
    return std::string(static_cast<size_t>(channel_protocol::FrameBytes(kFrameWidth, kFrameHeight)),
                       '\0');
  COLORREF color = UidColor(m_uid);
  uint8_t light[3] = {GetBValue(color), GetGValue(color), GetRValue(color)};
  uint8_t dark[3] = {static_cast<uint8_t>(light[0] / 3), static_cast<uint8_t>(light[1] / 3),
                     static_cast<uint8_t>(light[2] / 3)};
  for (int y = 0; y < kFrameHeight; ++y) {
    uint8_t* row = m_bits + static_cast<size_t>(y) * stride;
    for (int x = 0; x < kFrameWidth; ++x) {
      // Diagonal stripes that move by four pixels a frame.
      const uint8_t* c = (((x + y + static_cast<int>(n) * 4) / 16) % 2) ? light : dark;
      row[x * 3] = c[0];
      row[x * 3 + 1] = c[1];
      row[x * 3 + 2] = c[2];
    }
  }
  GdiFlush();
  HGDIOBJ oldFont = SelectObject(m_dc, m_font);
  SetBkMode(m_dc, OPAQUE);
  SetBkColor(m_dc, RGB(0, 0, 0));
  SetTextColor(m_dc, RGB(255, 255, 255));
  std::wstring text = L" uid " + std::to_wstring(m_uid) + L" ";
  RECT box = {0, kFrameHeight / 2 - 18, kFrameWidth, kFrameHeight / 2 + 18};
  DrawTextW(m_dc, text.c_str(), -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(m_dc, oldFont);
  GdiFlush();
  return std::string(reinterpret_cast<const char*>(m_bits), stride * kFrameHeight);
}

void DrawFrame(HWND window, int width, int height, const std::string& pixels, int renderMode) {
  if (!IsWindow(window) || width <= 0 || height <= 0 ||
      channel_protocol::CheckFrame(static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                                   pixels.size()) != channel_protocol::FrameCheck::kOk)
    return;
  RECT client;
  if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0)
    return;
  int cw = client.right, ch = client.bottom;
  int dw = cw, dh = ch;
  bool fit = renderMode == 2 || renderMode == 3;
  // Scale by the smaller (fit) or larger (hidden) ratio, keeping the proportions.
  bool widthBound = static_cast<long long>(cw) * height < static_cast<long long>(ch) * width;
  if (fit == widthBound) {
    dw = cw;
    dh = static_cast<int>(static_cast<long long>(cw) * height / width);
  } else {
    dh = ch;
    dw = static_cast<int>(static_cast<long long>(ch) * width / height);
  }
  int dx = (cw - dw) / 2, dy = (ch - dh) / 2;
  HDC dc = GetDC(window);
  if (!dc)
    return;
  if (fit) {
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RECT bands[4] = {{0, 0, cw, dy}, {0, dy + dh, cw, ch}, {0, 0, dx, ch}, {dx + dw, 0, cw, ch}};
    for (RECT& band : bands) {
      if (band.right > band.left && band.bottom > band.top)
        FillRect(dc, &band, black);
    }
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, dx, dy, dw, dh, 0, 0, width, height, pixels.data(), &info, DIB_RGB_COLORS,
                SRCCOPY);
  ReleaseDC(window, dc);
}

}  // namespace agora_standin
