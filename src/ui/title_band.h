// The main window's title band: its five buttons and the band itself ("topArea") in the skin,
// with their images and attributes for either view mode. The window decides what a click does
// and where the window goes; the band only shows it.
#pragma once

#include "toolkit/ui_library.h"
#include "ui/view_modes.h"

class TitleBand {
 public:
  enum class Button { kNone, kHistory, kViewMode, kPin, kMinimize, kClose };

  // Finds the band's controls in the built skin; a missing one is left alone from then on.
  void Attach(DuiLib::CPaintManagerUI& paintManager);

  // Which of the band's buttons `control` is.
  Button Which(const DuiLib::CControlUI* control) const;

  // The view-mode button is offered only in live rooms.
  void ShowViewModeButton(bool show);
  bool HasViewModeButton() const { return m_viewModeBtn != nullptr; }

  // The band's width, height, inset and background image of `layout`.
  void ApplyLayout(const zarvik::view::ViewModeLayout& layout);
  // Every button's images for `viewMode`; the pin button's also for the pin state.
  void ApplyButtonImages(int viewMode, bool pinned);
  // The history button's images for `viewMode`.
  void ApplyHistoryImages(int viewMode);
  // The pin button's images and tooltip for the pin state.
  void ShowPinState(int viewMode, bool pinned);

 private:
  static void SetButtonImages(DuiLib::CControlUI* button,
                              zarvik::view::TitleButton which,
                              int viewMode,
                              bool pinned);

  DuiLib::CControlUI* m_historyBtn = nullptr;
  DuiLib::CControlUI* m_viewModeBtn = nullptr;
  DuiLib::CControlUI* m_pinBtn = nullptr;
  DuiLib::CControlUI* m_minimizeBtn = nullptr;
  DuiLib::CControlUI* m_closeBtn = nullptr;
  DuiLib::CControlUI* m_topArea = nullptr;
};
