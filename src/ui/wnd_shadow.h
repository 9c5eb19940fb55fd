// The soft drop shadow of a frameless window: a click-through, per-pixel-alpha layered window
// right behind its parent that follows it. The parent's window procedure is replaced so that the
// shadow sees the parent's moves, size changes, showing and hiding.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/shadow_bits.h"

namespace DuiLib {

class CWndShadow {
 public:
  enum : uint8_t {
    SHADOW_ENABLED = 0x01,
    SHADOW_VISIBLE = 0x02,
    SHADOW_PARENT_VISIBLE = 0x04,
    SHADOW_DISABLED_BY_COMPOSITION = 0x08,
  };

  CWndShadow();
  // Leaves the shadow window and the map entry to the parent's WM_DESTROY / WM_NCDESTROY; if the
  // parent outlives this object, the parent gets its own procedure back and the shadow goes.
  virtual ~CWndShadow();
  CWndShadow(const CWndShadow&) = delete;
  CWndShadow& operator=(const CWndShadow&) = delete;

  // Once per process, before any window exists: finds UpdateLayeredWindow (without it no shadow
  // is ever created) and DwmIsCompositionEnabled, and registers the shadow window class.
  // Returns whether shadows are available.
  static bool InitShadowSupport(HINSTANCE instance);
  static bool IsShadowSupported();
  // Whether `parent` has a shadow attached (until its WM_NCDESTROY).
  static bool HasShadow(HWND parent);

  // Creates the shadow window for `parent` and takes over the parent's window procedure. Does
  // nothing (false) when shadows are not available, when `parent` already has a shadow or when
  // this object is already attached.
  bool AttachToParent(HWND parent);

  // Settings; each refreshes a visible shadow. Out-of-range values are refused (false).
  bool SetSize(int size);                     // -128 .. 127 pixels beyond the parent on every side
  bool SetSharpness(unsigned int sharpness);  // 0 .. 255 pixels of soft border
  bool SetDarkness(unsigned int darkness);    // 0 .. 255 alpha of the solid core
  bool SetPosition(int x, int y);             // -128 .. 127 pixels each
  bool SetColor(COLORREF color);

  void ShowShadow(HWND parent);
  void UpdateShadow(HWND parent);
  // Draws the shadow of `parent` (window rectangle `parentRect`) into `bits`, a cleared bottom-up
  // image of (width + 2 * size) x (height + 2 * size) pixels.
  void RenderShadowBits(uint32_t* bits, HWND parent, const RECT& parentRect);

  static LRESULT CALLBACK ShadowParentProc(HWND parent, UINT message, WPARAM wParam, LPARAM lParam);

  HWND GetShadowWindow() const { return m_shadowWnd; }
  uint8_t GetStatus() const { return m_status; }
  zarvik::shadow::ShadowParams GetParams() const;

 private:
  void Refresh();
  // Enabled and not switched off by desktop composition.
  bool IsActive() const;
  // What the parent's messages do to the shadow.
  void OnParentMove(HWND parent);
  void OnParentSize(HWND parent, WPARAM kind, LPARAM size);
  void OnParentShown(HWND parent, bool shown);
  void OnCompositionChanged(HWND parent);

  HWND m_shadowWnd;  // INVALID_HANDLE_VALUE until attached
  WNDPROC m_previousProc;
  uint8_t m_status;
  uint8_t m_darkness;
  uint8_t m_sharpness;
  int8_t m_size;
  int8_t m_xOffset;
  int8_t m_yOffset;
  uint32_t m_lastParentSize;  // lParam of the last WM_SIZE: width low, height high
  bool m_updatePending;
  COLORREF m_color;
};

// The outline of a region as one span per row of a width x height parent (the first and one past
// the last covered column), read from the region's rectangles.
std::vector<zarvik::shadow::Span> ShadowOutlineFromRegion(HRGN region, int width, int height);

}  // namespace DuiLib
