#include "ui/title_band.h"

#include <utility>

using zarvik::view::TitleButton;

void TitleBand::Attach(DuiLib::CPaintManagerUI& paintManager) {
  m_historyBtn = paintManager.FindControl(L"browseHistoryBtn");
  m_viewModeBtn = paintManager.FindControl(L"vmode");
  m_pinBtn = paintManager.FindControl(L"binbtn");
  m_minimizeBtn = paintManager.FindControl(L"minbtn");
  m_closeBtn = paintManager.FindControl(L"closebtn");
  m_topArea = paintManager.FindControl(L"topArea");
}

TitleBand::Button TitleBand::Which(const DuiLib::CControlUI* control) const {
  if (!control)
    return Button::kNone;
  if (control == m_closeBtn)
    return Button::kClose;
  if (control == m_historyBtn)
    return Button::kHistory;
  if (control == m_viewModeBtn)
    return Button::kViewMode;
  if (control == m_pinBtn)
    return Button::kPin;
  if (control == m_minimizeBtn)
    return Button::kMinimize;
  return Button::kNone;
}

void TitleBand::ShowViewModeButton(bool show) {
  if (!m_viewModeBtn)
    return;
  m_viewModeBtn->SetVisible(show);
  if (show)
    m_viewModeBtn->Invalidate();
}

void TitleBand::ApplyLayout(const zarvik::view::ViewModeLayout& layout) {
  if (!m_topArea)
    return;
  m_topArea->SetAttribute(L"width", layout.bandWidth);
  m_topArea->SetAttribute(L"height", layout.bandHeightText);
  m_topArea->SetAttribute(L"inset", layout.bandInset);
  m_topArea->SetAttribute(L"bkimage", layout.bandImage);
}

void TitleBand::ApplyButtonImages(int viewMode, bool pinned) {
  const std::pair<DuiLib::CControlUI*, TitleButton> buttons[] = {
      {m_viewModeBtn, TitleButton::kViewMode},
      {m_historyBtn, TitleButton::kHistory},
      {m_pinBtn, TitleButton::kPin},
      {m_minimizeBtn, TitleButton::kMinimize},
      {m_closeBtn, TitleButton::kClose}};
  for (const auto& [control, which] : buttons)
    SetButtonImages(control, which, viewMode, pinned);
}

void TitleBand::ApplyHistoryImages(int viewMode) {
  SetButtonImages(m_historyBtn, TitleButton::kHistory, viewMode, false);
}

void TitleBand::ShowPinState(int viewMode, bool pinned) {
  SetButtonImages(m_pinBtn, TitleButton::kPin, viewMode, pinned);
  if (m_pinBtn)
    m_pinBtn->SetToolTip(zarvik::view::PinToolTip(pinned));
}

void TitleBand::SetButtonImages(DuiLib::CControlUI* button,
                                TitleButton which,
                                int viewMode,
                                bool pinned) {
  if (!button)
    return;
  zarvik::view::ButtonImages images = zarvik::view::ImagesFor(which, viewMode, pinned);
  button->SetAttribute(L"normalimage", images.normal);
  button->SetAttribute(L"hotimage", images.hot);
}
