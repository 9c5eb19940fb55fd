#include "ui/wnd_shadow.h"

#include <climits>
#include <cstring>
#include <map>

#include "common/scoped_handle.h"
#include "diagnostics/log.h"

namespace DuiLib {

namespace {

using UpdateLayeredWindowFn =
    BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
using DwmIsCompositionEnabledFn = HRESULT(WINAPI*)(BOOL*);

const wchar_t kShadowClassName[] = L"VeltoShadowWnd";

// Process-wide; touched only on the UI thread that owns the parents.
UpdateLayeredWindowFn g_updateLayeredWindow = nullptr;
DwmIsCompositionEnabledFn g_isCompositionEnabled = nullptr;
HINSTANCE g_shadowInstance = nullptr;

std::map<HWND, CWndShadow*>& ShadowMap() {
  static std::map<HWND, CWndShadow*> shadows;
  return shadows;
}

CWndShadow* FindShadow(HWND parent) {
  auto& shadows = ShadowMap();
  auto it = shadows.find(parent);
  return it == shadows.end() ? nullptr : it->second;
}

bool HasWindow(HWND wnd) {
  return wnd != nullptr && wnd != INVALID_HANDLE_VALUE;
}

}  // namespace

CWndShadow::CWndShadow()
    : m_shadowWnd(static_cast<HWND>(INVALID_HANDLE_VALUE)),
      m_previousProc(nullptr),
      m_status(0),
      m_darkness(150),
      m_sharpness(5),
      m_size(8),
      m_xOffset(0),
      m_yOffset(0),
      m_lastParentSize(0),
      m_updatePending(false),
      m_color(RGB(0, 0, 0)) {}

CWndShadow::~CWndShadow() {
  // Normally the parent is gone by now and its WM_NCDESTROY took the map entry. A parent that
  // outlives its shadow object must not keep calling into freed memory.
  auto& shadows = ShadowMap();
  for (auto it = shadows.begin(); it != shadows.end(); ++it) {
    if (it->second != this)
      continue;
    HWND parent = it->first;
    shadows.erase(it);
    if (IsWindow(parent) &&
        GetWindowLongPtrW(parent, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ShadowParentProc))
      SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
    if (HasWindow(m_shadowWnd) && IsWindow(m_shadowWnd))
      DestroyWindow(m_shadowWnd);
    break;
  }
}

bool CWndShadow::InitShadowSupport(HINSTANCE instance) {
  if (g_updateLayeredWindow != nullptr)
    return true;
  HMODULE user32 = LoadLibraryW(L"USER32.DLL");
  if (user32 == nullptr)
    return false;
  auto updateLayered = reinterpret_cast<UpdateLayeredWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "UpdateLayeredWindow")));
  if (updateLayered == nullptr) {
    LogLine(ERROR, "UpdateLayeredWindow is missing: windows get no shadow.");
    return false;
  }
  g_updateLayeredWindow = updateLayered;
  // Kept loaded for the life of the process, like USER32 itself.
  if (HMODULE dwmapi = LoadLibraryW(L"dwmapi.dll")) {
    g_isCompositionEnabled = reinterpret_cast<DwmIsCompositionEnabledFn>(
        reinterpret_cast<void*>(GetProcAddress(dwmapi, "DwmIsCompositionEnabled")));
  }
  g_shadowInstance = instance;

  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kShadowClassName;
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    LogLine(ERROR, "register shadow window class failed, error ", GetLastError());
  return true;
}

bool CWndShadow::IsShadowSupported() {
  return g_updateLayeredWindow != nullptr;
}

bool CWndShadow::HasShadow(HWND parent) {
  return FindShadow(parent) != nullptr;
}

bool CWndShadow::AttachToParent(HWND parent) {
  if (g_updateLayeredWindow == nullptr)
    return false;
  // A second attach would make the shadow procedure its own predecessor.
  if (!IsWindow(parent) || FindShadow(parent) != nullptr || m_previousProc != nullptr) {
    LogLine(ERROR, "shadow not attached: the window already has one or does not exist.");
    return false;
  }
  ShadowMap()[parent] = this;

  m_shadowWnd =
      CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT, kShadowClassName, nullptr, WS_POPUPWINDOW,
                      CW_USEDEFAULT, 0, 0, 0, parent, nullptr, g_shadowInstance, nullptr);
  if (m_shadowWnd == nullptr) {
    LogLine(ERROR, "create shadow window failed, error ", GetLastError());
    m_shadowWnd = static_cast<HWND>(INVALID_HANDLE_VALUE);
    ShadowMap().erase(parent);
    return false;
  }
  m_status = SHADOW_ENABLED;
  ShowShadow(parent);
  m_previousProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ShadowParentProc)));
  return true;
}

zarvik::shadow::ShadowParams CWndShadow::GetParams() const {
  zarvik::shadow::ShadowParams params;
  params.darkness = m_darkness;
  params.sharpness = m_sharpness;
  params.size = m_size;
  params.xOffset = m_xOffset;
  params.yOffset = m_yOffset;
  params.color = m_color;
  return params;
}

void CWndShadow::Refresh() {
  if ((m_status & SHADOW_VISIBLE) && HasWindow(m_shadowWnd))
    UpdateShadow(GetWindow(m_shadowWnd, GW_OWNER));
}

bool CWndShadow::SetSize(int size) {
  if (size < SCHAR_MIN || size > SCHAR_MAX)
    return false;
  m_size = static_cast<int8_t>(size);
  Refresh();
  return true;
}

bool CWndShadow::SetSharpness(unsigned int sharpness) {
  if (sharpness > UCHAR_MAX)
    return false;
  m_sharpness = static_cast<uint8_t>(sharpness);
  Refresh();
  return true;
}

bool CWndShadow::SetDarkness(unsigned int darkness) {
  if (darkness > UCHAR_MAX)
    return false;
  m_darkness = static_cast<uint8_t>(darkness);
  Refresh();
  return true;
}

bool CWndShadow::SetPosition(int x, int y) {
  if (x < SCHAR_MIN || x > SCHAR_MAX || y < SCHAR_MIN || y > SCHAR_MAX)
    return false;
  m_xOffset = static_cast<int8_t>(x);
  m_yOffset = static_cast<int8_t>(y);
  Refresh();
  return true;
}

bool CWndShadow::SetColor(COLORREF color) {
  m_color = color;
  Refresh();
  return true;
}

void CWndShadow::ShowShadow(HWND parent) {
  m_status &= SHADOW_ENABLED | SHADOW_DISABLED_BY_COMPOSITION;
  if ((m_status & SHADOW_ENABLED) && !(m_status & SHADOW_DISABLED_BY_COMPOSITION) &&
      IsWindowVisible(parent)) {
    m_status |= SHADOW_PARENT_VISIBLE;
    const LONG_PTR style = GetWindowLongPtrW(parent, GWL_STYLE);
    if (!(style & (WS_MINIMIZE | WS_MAXIMIZE)))
      m_status |= SHADOW_VISIBLE;
  }
  if (m_status & SHADOW_VISIBLE) {
    ShowWindow(m_shadowWnd, SW_SHOWNA);
    UpdateShadow(parent);
  } else {
    ShowWindow(m_shadowWnd, SW_HIDE);
  }
}

void CWndShadow::UpdateShadow(HWND parent) {
  if (g_updateLayeredWindow == nullptr || !HasWindow(m_shadowWnd))
    return;
  RECT parentRect;
  if (!GetWindowRect(parent, &parentRect))
    return;
  const int width = parentRect.right - parentRect.left + 2 * m_size;
  const int height = parentRect.bottom - parentRect.top + 2 * m_size;
  if (width <= 0 || height <= 0)
    return;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * height * 4;
  void* bits = nullptr;
  zarvik::ScopedBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr)
    return;  // the previous image stays
  std::memset(bits, 0, static_cast<size_t>(width) * height * 4);
  RenderShadowBits(static_cast<uint32_t*>(bits), parent, parentRect);

  zarvik::ScopedMemoryDc memDc(CreateCompatibleDC(nullptr));
  zarvik::ScopedSelectObject selection(memDc.Get(), bitmap.Get());
  POINT destination = {parentRect.left + m_xOffset - m_size, parentRect.top + m_yOffset - m_size};
  SIZE extent = {width, height};
  POINT source = {0, 0};
  MoveWindow(m_shadowWnd, destination.x, destination.y, width, height, FALSE);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  // A failed update leaves the previous image; nothing else to do about it.
  g_updateLayeredWindow(m_shadowWnd, nullptr, &destination, &extent, memDc.Get(), &source, 0,
                        &blend, ULW_ALPHA);
}

std::vector<zarvik::shadow::Span> ShadowOutlineFromRegion(HRGN region, int width, int height) {
  std::vector<zarvik::shadow::PixelRect> rects;
  const DWORD bytes = region != nullptr ? GetRegionData(region, 0, nullptr) : 0;
  if (bytes >= sizeof(RGNDATAHEADER)) {
    std::vector<DWORD> buffer((bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (GetRegionData(region, bytes, data) == bytes) {
      const auto* regionRects = reinterpret_cast<const RECT*>(data->Buffer);
      rects.reserve(data->rdh.nCount);
      for (DWORD k = 0; k < data->rdh.nCount; ++k) {
        rects.push_back(
            {regionRects[k].left, regionRects[k].top, regionRects[k].right, regionRects[k].bottom});
      }
      return zarvik::shadow::OutlineFromRects(rects.data(), rects.size(), width, height);
    }
  }
  // No readable region: the parent's whole rectangle.
  const zarvik::shadow::PixelRect whole = {0, 0, width, height};
  return zarvik::shadow::OutlineFromRects(&whole, 1, width, height);
}

void CWndShadow::RenderShadowBits(uint32_t* bits, HWND parent, const RECT& parentRect) {
  const int width = parentRect.right - parentRect.left;
  const int height = parentRect.bottom - parentRect.top;
  std::vector<zarvik::shadow::Span> outline;
  zarvik::ScopedRegion region(CreateRectRgn(0, 0, 0, 0));
  if (region && GetWindowRgn(parent, region.Get()) != ERROR) {
    outline = ShadowOutlineFromRegion(region.Get(), width, height);
  } else {
    const zarvik::shadow::PixelRect whole = {0, 0, width, height};
    outline = zarvik::shadow::OutlineFromRects(&whole, 1, width, height);
  }
  region.Reset();
  zarvik::shadow::RenderShadowFromOutline(bits, width, height, outline, GetParams());
}

LRESULT CALLBACK CWndShadow::ShadowParentProc(HWND parent,
                                              UINT message,
                                              WPARAM wParam,
                                              LPARAM lParam) {
  CWndShadow* shadow = FindShadow(parent);
  if (shadow == nullptr)
    return 0;
  const WNDPROC previous = shadow->m_previousProc;

  switch (message) {
    case WM_MOVE:
      shadow->OnParentMove(parent);
      break;
    case WM_SIZE:
      shadow->OnParentSize(parent, wParam, lParam);
      break;
    case WM_PAINT:
      if (shadow->m_updatePending) {
        shadow->UpdateShadow(parent);
        shadow->m_updatePending = false;
      }
      break;
    case WM_EXITSIZEMOVE:
      if (shadow->m_status & SHADOW_VISIBLE)
        shadow->UpdateShadow(parent);
      break;
    case WM_SHOWWINDOW:
      if (shadow->IsActive()) {
        // The parent shows or hides itself first; the shadow follows.
        const LRESULT result = CallWindowProcW(previous, parent, message, wParam, lParam);
        // The previous procedure may have destroyed the parent and with it this entry.
        shadow = FindShadow(parent);
        if (shadow != nullptr)
          shadow->OnParentShown(parent, wParam != 0);
        return result;
      }
      break;
    case WM_DESTROY:
      if (HasWindow(shadow->m_shadowWnd))
        DestroyWindow(shadow->m_shadowWnd);
      shadow->m_shadowWnd = static_cast<HWND>(INVALID_HANDLE_VALUE);
      break;
    case WM_NCDESTROY:
      // The last message of the parent: the object may be attached to another window later.
      ShadowMap().erase(parent);
      shadow->m_previousProc = nullptr;
      shadow->m_status = 0;
      break;
    case WM_DWMCOMPOSITIONCHANGED:
      shadow->OnCompositionChanged(parent);
      break;
    default:
      break;
  }
  return CallWindowProcW(previous, parent, message, wParam, lParam);
}

bool CWndShadow::IsActive() const {
  return (m_status & SHADOW_ENABLED) && !(m_status & SHADOW_DISABLED_BY_COMPOSITION);
}

void CWndShadow::OnParentMove(HWND parent) {
  if (!(m_status & SHADOW_VISIBLE))
    return;
  RECT rect;
  GetWindowRect(parent, &rect);
  SetWindowPos(m_shadowWnd, parent, rect.left + m_xOffset - m_size, rect.top + m_yOffset - m_size,
               0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void CWndShadow::OnParentSize(HWND parent, WPARAM kind, LPARAM size) {
  if (!IsActive())
    return;
  if (kind == SIZE_MAXIMIZED || kind == SIZE_MINIMIZED) {
    ShowWindow(m_shadowWnd, SW_HIDE);
    m_status &= ~SHADOW_VISIBLE;
  } else if (IsWindowVisible(parent)) {
    m_status |= SHADOW_PARENT_VISIBLE;
    if (!(m_status & SHADOW_VISIBLE)) {
      m_status |= SHADOW_VISIBLE;
      UpdateShadow(parent);
      ShowWindow(m_shadowWnd, SW_SHOWNA);
      m_updatePending = true;
    } else if (LOWORD(size) > LOWORD(m_lastParentSize) || HIWORD(size) > HIWORD(m_lastParentSize)) {
      // Growing: the parent paints its new area first, then the shadow follows.
      m_updatePending = true;
    } else {
      UpdateShadow(parent);
    }
  }
  m_lastParentSize = static_cast<uint32_t>(size);
}

void CWndShadow::OnParentShown(HWND parent, bool shown) {
  if (!shown) {
    ShowWindow(m_shadowWnd, SW_HIDE);
    m_status &= ~(SHADOW_VISIBLE | SHADOW_PARENT_VISIBLE);
    return;
  }
  m_status |= SHADOW_VISIBLE | SHADOW_PARENT_VISIBLE;
  ShowWindow(m_shadowWnd, SW_SHOWNA);
  UpdateShadow(parent);
  m_updatePending = true;
}

void CWndShadow::OnCompositionChanged(HWND parent) {
  BOOL composition = FALSE;
  if (g_isCompositionEnabled != nullptr)
    g_isCompositionEnabled(&composition);
  if (composition)
    m_status |= SHADOW_DISABLED_BY_COMPOSITION;
  else
    m_status &= ~SHADOW_DISABLED_BY_COMPOSITION;
  ShowShadow(parent);
}

}  // namespace DuiLib
