// skin-viewer: shows one skin file of the skin archive in a window.
//
//   skin-viewer.exe SKIN [--zip FILE] [--size WxH] [--simple] [--progress N] [--hover NAME]
//                        [--ready-file PATH] [--stop-file PATH]
//
// The archive defaults to zarvik.ui beside the program. --simple applies the simple view's
// title band (sizes and images) to main.xml; --progress shows the update strip at N percent;
// --hover shows a button as under the mouse. --ready-file is written once the window has been
// painted, and the viewer closes when --stop-file appears (for scripted screenshots).
#include <windows.h>
// after windows.h
#include <shellapi.h>
#include <stdio.h>

#include <string>

#include "UIlib.h"

using namespace DuiLib;

namespace {

struct Options {
  std::wstring skin;
  std::wstring zip = L"zarvik.ui";
  int width = 0;
  int height = 0;
  bool simple = false;
  int progress = -1;
  std::wstring hover;
  std::wstring readyFile;
  std::wstring stopFile;
};

const UINT_PTR kStopTimer = 1;

void Set(CPaintManagerUI& pm, const wchar_t* name, const wchar_t* attribute, const wchar_t* value) {
  CControlUI* control = pm.FindControl(name);
  if (control)
    control->SetAttribute(attribute, value);
  else
    fwprintf(stderr, L"skin-viewer: no control %ls\n", name);
}

class CViewerWnd : public WindowImplBase {
 public:
  explicit CViewerWnd(const Options& options) : m_options(options) {}

 protected:
  LPCTSTR GetWindowClassName() const override { return L"ZarvikSkinViewer"; }
  CDuiString GetSkinFolder() override { return L""; }
  CDuiString GetSkinFile() override { return m_options.skin.c_str(); }

  void InitWindow() override {
    if (m_options.simple) {
      // The simple view's band, as the main window sets it.
      Set(m_PaintManager, L"topArea", L"width", L"420");
      Set(m_PaintManager, L"topArea", L"height", L"34");
      Set(m_PaintManager, L"topArea", L"inset", L"0,3,5,3");
      Set(m_PaintManager, L"topArea", L"bkimage", L"mini-topbackground.png");
      Set(m_PaintManager, L"leftstrach", L"width", L"213");
      const wchar_t* images[][3] = {
          {L"vmode", L"fm-normal.png", L"fm-hover.png"},
          {L"browseHistoryBtn", L"mini_vh_normal.png", L"mini_vh_hover.png"},
          {L"binbtn", L"mm-bin-normal.png", L"mm-bin-hover.png"},
          {L"minbtn", L"mm-mini-normal.png", L"mm-mini-hover.png"},
          {L"closebtn", L"mm-close-normal.png", L"mm-close-hover.png"},
      };
      for (auto& row : images) {
        Set(m_PaintManager, row[0], L"normalimage", row[1]);
        Set(m_PaintManager, row[0], L"hotimage", row[2]);
      }
    }
    if (m_options.progress >= 0) {
      CProgressUI* bar = static_cast<CProgressUI*>(m_PaintManager.FindControl(L"updateprogress"));
      CControlUI* tip = m_PaintManager.FindControl(L"progressTip");
      if (bar && tip) {
        CDuiString image, text;
        image.Format(L"file='ver_update_fg.png' source='0,0,%d,22'",
                     m_options.progress * 264 / 100);
        text.Format(L"Zarvik\x6B63\x5728\x66F4\x65B0%d%%", m_options.progress);
        bar->SetForeImage(image);
        bar->SetValue(m_options.progress);
        tip->SetText(text);
      }
    }
    ::SetTimer(m_hWnd, kStopTimer, 100, nullptr);
  }

  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM, BOOL& bHandled) override {
    if (uMsg == WM_TIMER && wParam == kStopTimer) {
      ++m_ticks;
      if (m_ticks == 1 && !m_options.hover.empty()) {
        // The real pointer goes over the button, so the library sees the mouse as a user's.
        CControlUI* control = m_PaintManager.FindControl(m_options.hover.c_str());
        if (control) {
          RECT rc = control->GetPos();
          POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
          ::ClientToScreen(m_hWnd, &pt);
          ::SetCursorPos(pt.x, pt.y);
        } else {
          fwprintf(stderr, L"skin-viewer: no control %ls\n", m_options.hover.c_str());
        }
      }
      if (m_ticks == 5 && !m_options.readyFile.empty()) {
        ::UpdateWindow(m_hWnd);
        HANDLE file = ::CreateFileW(m_options.readyFile.c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
          ::CloseHandle(file);
      }
      if (!m_options.stopFile.empty() &&
          ::GetFileAttributesW(m_options.stopFile.c_str()) != INVALID_FILE_ATTRIBUTES)
        Close(0);
      return 0;
    }
    bHandled = FALSE;
    return 0;
  }

  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) override {
    ::PostQuitMessage(0);
    bHandled = FALSE;
    return 0;
  }

 private:
  Options m_options;
  int m_ticks = 0;
};

bool ParseSize(const wchar_t* text, int& cx, int& cy) {
  return swscanf(text, L"%dx%d", &cx, &cy) == 2 && cx > 0 && cy > 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    bool more = i + 1 < argc;
    if (arg == L"--zip" && more)
      options.zip = argv[++i];
    else if (arg == L"--size" && more && ParseSize(argv[i + 1], options.width, options.height))
      ++i;
    else if (arg == L"--simple")
      options.simple = true;
    else if (arg == L"--progress" && more)
      options.progress = _wtoi(argv[++i]);
    else if (arg == L"--hover" && more)
      options.hover = argv[++i];
    else if (arg == L"--ready-file" && more)
      options.readyFile = argv[++i];
    else if (arg == L"--stop-file" && more)
      options.stopFile = argv[++i];
    else if (options.skin.empty() && arg.compare(0, 2, L"--") != 0)
      options.skin = arg;
    else {
      fwprintf(stderr, L"skin-viewer: unknown argument %ls\n", argv[i]);
      return 2;
    }
  }
  ::LocalFree(argv);
  if (options.skin.empty()) {
    fwprintf(stderr,
             L"usage: skin-viewer SKIN [--zip FILE] [--size WxH] [--simple] "
             L"[--progress N] [--hover NAME] [--ready-file PATH] [--stop-file PATH]\n");
    return 2;
  }
  if (options.progress > 100)
    options.progress = 100;

  CPaintManagerUI::SetInstance(instance);
  CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
  CPaintManagerUI::SetResourceZip(options.zip.c_str(), false);

  CViewerWnd* wnd = new CViewerWnd(options);
  if (!wnd->Create(nullptr, L"Skin viewer", 0x10CE0000, 0, 0, 0,
                   options.width ? options.width : CW_USEDEFAULT,
                   options.height ? options.height : CW_USEDEFAULT)) {
    delete wnd;
    return 1;
  }
  if (options.width && options.height)  // the skin's size was applied while it was built
    ::SetWindowPos(wnd->GetHWND(), nullptr, 0, 0, options.width, options.height,
                   SWP_NOZORDER | SWP_NOMOVE);
  wnd->ShowWindow(true, true);
  CPaintManagerUI::MessageLoop();
  delete wnd;
  return 0;
}
