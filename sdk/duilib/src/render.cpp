// Attribute parsing, image descriptions and GDI/GDI+ drawing.
#include <objidl.h>
#include <shlwapi.h>
#include <wchar.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include "internal.h"

namespace DuiLib {
namespace internal {

namespace {

const wchar_t* SkipSpaces(const wchar_t* p) {
  while (*p == L' ' || *p == L'\t' || *p == L'\r' || *p == L'\n')
    ++p;
  return p;
}

bool IntersectPaint(RECT& out, const RECT& a, const RECT& b) {
  return ::IntersectRect(&out, &a, &b) != FALSE;
}

ULONG_PTR g_gdiplusToken = 0;

bool EnsureGdiplus() {
  if (g_gdiplusToken)
    return true;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, NULL) != Gdiplus::Ok) {
    g_gdiplusToken = 0;
    CPaintManagerUI::Log(L"GDI+ does not start");
    return false;
  }
  return true;
}

}  // namespace

RECT ParseRect(LPCTSTR text) {
  RECT rc = {0, 0, 0, 0};
  if (!text)
    return rc;
  LONG* fields[4] = {&rc.left, &rc.top, &rc.right, &rc.bottom};
  const wchar_t* p = text;
  for (int i = 0; i < 4 && *p; ++i) {
    wchar_t* end = NULL;
    *fields[i] = wcstol(p, &end, 10);
    if (end == p)
      break;
    p = SkipSpaces(end);
    if (*p == L',')
      ++p;
  }
  return rc;
}

SIZE ParseSize(LPCTSTR text) {
  RECT rc = ParseRect(text);
  SIZE sz = {rc.left, rc.top};
  return sz;
}

DWORD ParseColor(LPCTSTR text) {
  if (!text)
    return 0;
  const wchar_t* p = SkipSpaces(text);
  if (*p == L'#')
    ++p;
  else if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X'))
    p += 2;
  wchar_t* end = NULL;
  DWORD value = wcstoul(p, &end, 16);
  if (end - p <= 6)
    value |= 0xFF000000;  // no alpha given: opaque
  return value;
}

bool ParseBool(LPCTSTR text) {
  return text && (_wcsicmp(text, L"true") == 0 || wcscmp(text, L"1") == 0);
}

int ParseInt(LPCTSTR text) {
  return text ? static_cast<int>(wcstol(text, NULL, 10)) : 0;
}

void ResetImageDescription(ImageDescription& desc) {
  desc.file.Empty();
  desc.source = RECT{0, 0, 0, 0};
  desc.hasSource = false;
  desc.dest = RECT{0, 0, 0, 0};
  desc.hasDest = false;
  desc.corner = RECT{0, 0, 0, 0};
  desc.fade = 255;
}

void ParseImageDescription(LPCTSTR text, ImageDescription& desc) {
  if (!text || !*text)
    return;
  if (!wcschr(text, L'=')) {  // a bare file name
    desc.file = text;
    return;
  }
  const wchar_t* p = text;
  while (*(p = SkipSpaces(p))) {
    const wchar_t* keyStart = p;
    while (*p && *p != L'=' && *p != L' ')
      ++p;
    CDuiString key(keyStart, static_cast<int>(p - keyStart));
    p = SkipSpaces(p);
    if (*p != L'=')
      break;
    p = SkipSpaces(p + 1);
    wchar_t quote = *p;
    if (quote != L'\'' && quote != L'"')
      break;
    const wchar_t* valueStart = ++p;
    while (*p && *p != quote)
      ++p;
    CDuiString value(valueStart, static_cast<int>(p - valueStart));
    if (*p)
      ++p;
    if (key == L"file" || key == L"res") {
      desc.file = value;
    } else if (key == L"source") {
      desc.source = ParseRect(value);
      desc.hasSource = true;
    } else if (key == L"dest") {
      desc.dest = ParseRect(value);
      desc.hasDest = true;
    } else if (key == L"corner") {
      desc.corner = ParseRect(value);
    } else if (key == L"fade") {
      desc.fade = static_cast<BYTE>(std::min(255, std::max(0, ParseInt(value))));
    }
  }
}

void FillColor(HDC hDC, const RECT& rc, DWORD argb) {
  BYTE alpha = static_cast<BYTE>(argb >> 24);
  if (alpha == 0 || rc.right <= rc.left || rc.bottom <= rc.top)
    return;
  if (alpha == 255) {
    HBRUSH brush = ::CreateSolidBrush(ToColorRef(argb));
    ::FillRect(hDC, &rc, brush);
    ::DeleteObject(brush);
    return;
  }
  // One premultiplied pixel stretched over the rectangle.
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = 1;
  bmi.bmiHeader.biHeight = 1;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = NULL;
  HBITMAP bmp = ::CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
  if (!bmp)
    return;
  DWORD r = ((argb >> 16) & 0xFF) * alpha / 255;
  DWORD g = ((argb >> 8) & 0xFF) * alpha / 255;
  DWORD b = (argb & 0xFF) * alpha / 255;
  *static_cast<DWORD*>(bits) = (static_cast<DWORD>(alpha) << 24) | (r << 16) | (g << 8) | b;
  HDC mem = ::CreateCompatibleDC(hDC);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::AlphaBlend(hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, mem, 0, 0, 1, 1, bf);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  ::DeleteObject(bmp);
}

TImageInfo* DecodeImage(const BYTE* data, DWORD size) {
  if (!data || size == 0 || !EnsureGdiplus())
    return NULL;
  IStream* stream = ::SHCreateMemStream(data, size);
  if (!stream)
    return NULL;
  TImageInfo* info = NULL;
  {
    Gdiplus::Bitmap bitmap(stream);
    if (bitmap.GetLastStatus() == Gdiplus::Ok && bitmap.GetWidth() > 0 && bitmap.GetHeight() > 0) {
      int w = static_cast<int>(bitmap.GetWidth());
      int h = static_cast<int>(bitmap.GetHeight());
      Gdiplus::Rect rect(0, 0, w, h);
      Gdiplus::BitmapData locked;
      if (bitmap.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &locked) ==
          Gdiplus::Ok) {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = -h;  // top-down
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        void* bits = NULL;
        HBITMAP hBitmap = ::CreateDIBSection(NULL, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
        if (hBitmap) {
          bool alpha = false;
          for (int y = 0; y < h; ++y) {
            const BYTE* src = static_cast<const BYTE*>(locked.Scan0) + y * locked.Stride;
            BYTE* dst = static_cast<BYTE*>(bits) + y * w * 4;
            memcpy(dst, src, w * 4);
            for (int x = 0; x < w && !alpha; ++x)
              alpha = dst[x * 4 + 3] != 255;
          }
          info = new TImageInfo;
          info->hBitmap = hBitmap;
          info->pBits = static_cast<LPBYTE>(bits);
          info->nX = w;
          info->nY = h;
          info->bAlpha = alpha;
        }
        bitmap.UnlockBits(&locked);
      }
    }
  }
  stream->Release();
  return info;
}

void FreeImage(TImageInfo* image) {
  if (!image)
    return;
  ::DeleteObject(image->hBitmap);
  delete image;
}

namespace {

// Draws one piece of the image (source rectangle) into a destination rectangle.
void BlendPiece(HDC hDC,
                HDC mem,
                const TImageInfo* image,
                const RECT& dst,
                const RECT& src,
                const RECT& rcPaint,
                BYTE fade) {
  int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  int sw = src.right - src.left, sh = src.bottom - src.top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
    return;
  RECT visible;
  if (!IntersectPaint(visible, dst, rcPaint))
    return;
  if (!image->bAlpha && fade == 255) {
    if (dw == sw && dh == sh) {
      ::BitBlt(hDC, dst.left, dst.top, dw, dh, mem, src.left, src.top, SRCCOPY);
    } else {
      int oldMode = ::SetStretchBltMode(hDC, COLORONCOLOR);
      ::StretchBlt(hDC, dst.left, dst.top, dw, dh, mem, src.left, src.top, sw, sh, SRCCOPY);
      ::SetStretchBltMode(hDC, oldMode);
    }
    return;
  }
  BLENDFUNCTION bf = {AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
  ::AlphaBlend(hDC, dst.left, dst.top, dw, dh, mem, src.left, src.top, sw, sh, bf);
}

}  // namespace

bool DrawImage(HDC hDC,
               CPaintManagerUI* manager,
               const RECT& rcItem,
               const RECT& rcPaint,
               LPCTSTR description,
               LPCTSTR modify) {
  if (!manager || !description || !*description)
    return false;
  ImageDescription desc;
  ResetImageDescription(desc);
  ParseImageDescription(description, desc);
  ParseImageDescription(modify, desc);
  if (desc.file.IsEmpty())
    return false;
  const TImageInfo* image = manager->GetImageEx(desc.file);
  if (!image)
    return false;

  RECT dst = rcItem;
  if (desc.hasDest) {
    dst.left = rcItem.left + desc.dest.left;
    dst.top = rcItem.top + desc.dest.top;
    dst.right = std::min<LONG>(rcItem.left + desc.dest.right, rcItem.right);
    dst.bottom = std::min<LONG>(rcItem.top + desc.dest.bottom, rcItem.bottom);
  }
  RECT src = {0, 0, image->nX, image->nY};
  if (desc.hasSource) {
    src.left = std::max<LONG>(0, desc.source.left);
    src.top = std::max<LONG>(0, desc.source.top);
    src.right = std::min<LONG>(image->nX, desc.source.right);
    src.bottom = std::min<LONG>(image->nY, desc.source.bottom);
  }
  RECT clip;
  if (!IntersectPaint(clip, dst, rcPaint))
    return true;

  HDC mem = ::CreateCompatibleDC(hDC);
  HGDIOBJ old = ::SelectObject(mem, image->hBitmap);
  int saved = ::SaveDC(hDC);
  ::IntersectClipRect(hDC, clip.left, clip.top, clip.right, clip.bottom);
  const RECT& c = desc.corner;
  if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
    BlendPiece(hDC, mem, image, dst, src, clip, desc.fade);
  } else {
    // Nine pieces: the corners keep their size, the edges and the middle stretch.
    LONG dx[4] = {dst.left, dst.left + c.left, dst.right - c.right, dst.right};
    LONG dy[4] = {dst.top, dst.top + c.top, dst.bottom - c.bottom, dst.bottom};
    LONG sx[4] = {src.left, src.left + c.left, src.right - c.right, src.right};
    LONG sy[4] = {src.top, src.top + c.top, src.bottom - c.bottom, src.bottom};
    for (int j = 0; j < 3; ++j) {
      for (int i = 0; i < 3; ++i) {
        RECT d = {dx[i], dy[j], dx[i + 1], dy[j + 1]};
        RECT s = {sx[i], sy[j], sx[i + 1], sy[j + 1]};
        BlendPiece(hDC, mem, image, d, s, clip, desc.fade);
      }
    }
  }
  ::RestoreDC(hDC, saved);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
  return true;
}

}  // namespace internal
}  // namespace DuiLib
