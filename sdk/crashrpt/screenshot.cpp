#include "screenshot.h"

#include <objbase.h>

#include <gdiplus.h>  // after the COM headers it uses

#include <cwchar>
#include <memory>

#include "CrashRpt.h"

namespace crashrpt {

namespace {

struct WindowSearch {
  DWORD pid;
  std::vector<RECT> rects;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  RECT rect;
  if (pid == search->pid && IsWindowVisible(hwnd) && GetWindowRect(hwnd, &rect) &&
      rect.right > rect.left && rect.bottom > rect.top)
    search->rects.push_back(rect);
  return TRUE;
}

bool FindEncoder(const wchar_t* mime, CLSID* clsid) {
  UINT count = 0, size = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
    return false;
  std::unique_ptr<char[]> buffer(new char[size]);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
  if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok)
    return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wcscmp(codecs[i].MimeType, mime) == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

// Copies the screen area into a 24-bit DIB section (grey when asked).
HBITMAP CaptureArea(const RECT& area, bool grayscale) {
  int width = area.right - area.left, height = area.bottom - area.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, old);
    GdiFlush();
    if (grayscale && bits) {
      auto* pixel = static_cast<BYTE*>(bits);
      for (int i = 0; i < width * height; ++i, pixel += 4) {
        BYTE grey = static_cast<BYTE>((pixel[0] * 29 + pixel[1] * 150 + pixel[2] * 77) >> 8);
        pixel[0] = pixel[1] = pixel[2] = grey;
      }
    }
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

}  // namespace

std::vector<RECT> ScreenshotAreas(DWORD pid, DWORD flags) {
  std::vector<RECT> areas;
  if (flags & (CR_AS_PROCESS_WINDOWS | CR_AS_MAIN_WINDOW)) {
    WindowSearch search = {pid, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    areas = search.rects;
    if ((flags & CR_AS_MAIN_WINDOW) && !(flags & CR_AS_PROCESS_WINDOWS) && areas.size() > 1)
      areas.resize(1);
  } else {
    RECT screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
    screen.right = screen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    screen.bottom = screen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    areas.push_back(screen);
  }
  // Only what lies on the screen can be captured.
  RECT desktop = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
  desktop.right = desktop.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  desktop.bottom = desktop.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  std::vector<RECT> visible;
  for (const RECT& area : areas) {
    RECT clipped;
    if (IntersectRect(&clipped, &area, &desktop))
      visible.push_back(clipped);
  }
  return visible;
}

std::vector<std::wstring> TakeScreenshots(DWORD pid,
                                          DWORD flags,
                                          int jpegQuality,
                                          const std::wstring& folder) {
  std::vector<std::wstring> written;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
    return written;
  CLSID encoder;
  bool jpeg = (flags & CR_AS_USE_JPEG_FORMAT) && FindEncoder(L"image/jpeg", &encoder);
  if (jpeg || FindEncoder(L"image/png", &encoder)) {
    ULONG quality = static_cast<ULONG>(jpegQuality);
    Gdiplus::EncoderParameters parameters;
    parameters.Count = 1;
    parameters.Parameter[0].Guid = Gdiplus::EncoderQuality;
    parameters.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
    parameters.Parameter[0].NumberOfValues = 1;
    parameters.Parameter[0].Value = &quality;
    int index = 0;
    for (const RECT& area : ScreenshotAreas(pid, flags)) {
      HBITMAP bitmap = CaptureArea(area, (flags & CR_AS_GRAYSCALE_IMAGE) != 0);
      if (!bitmap)
        continue;
      std::wstring name = L"screenshot" + std::to_wstring(index) + (jpeg ? L".jpg" : L".png");
      {
        Gdiplus::Bitmap image(bitmap, nullptr);
        if (image.Save((folder + L"\\" + name).c_str(), &encoder, jpeg ? &parameters : nullptr) ==
            Gdiplus::Ok) {
          written.push_back(name);
          ++index;
        }
      }
      DeleteObject(bitmap);
    }
  }
  Gdiplus::GdiplusShutdown(token);
  return written;
}

}  // namespace crashrpt
