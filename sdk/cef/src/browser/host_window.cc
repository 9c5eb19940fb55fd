// The browser's host window (kCefBrowserWindowClass): paints the document's display list as a simple
// flow (title, text, links, buttons), turns clicks, keys, right-clicks and dropped files into
// the client's handlers and the renderer's element activations, and runs the close protocol.
#include <windows.h>

#include <shellapi.h>
#include <windowsx.h>

#include "include/cef_context_menu_handler.h"
#include "include/cef_drag_data.h"
#include "include/standin/browser_window.h"
#include "src/browser/browser_impl.h"
#include "src/browser/engine.h"
#include "src/common/scoped_handle.h"
#include "src/common/text.h"
#include "src/common/trace_events.h"

namespace cefimpl {

namespace {

const int kMargin = 12;

class MenuModelImpl : public CefMenuModel {
 public:
  struct Item {
    int id;
    std::wstring label;
    bool enabled;
  };
  bool Clear() override {
    m_items.clear();
    return true;
  }
  int GetCount() override { return static_cast<int>(m_items.size()); }
  bool AddSeparator() override {
    m_items.push_back({-1, L"", true});
    return true;
  }
  bool AddItem(int id, const CefString& label) override {
    m_items.push_back({id, label.ToWString(), true});
    return true;
  }
  bool Remove(int id) override {
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
      if (it->id == id) {
        m_items.erase(it);
        return true;
      }
    }
    return false;
  }
  bool RemoveAt(int index) override {
    if (index < 0 || index >= GetCount())
      return false;
    m_items.erase(m_items.begin() + index);
    return true;
  }
  int GetCommandIdAt(int index) override {
    return index >= 0 && index < GetCount() ? m_items[index].id : -1;
  }
  CefString GetLabelAt(int index) override {
    return index >= 0 && index < GetCount() ? CefString(m_items[index].label) : CefString();
  }
  bool IsEnabled(int id) override {
    for (auto& item : m_items) {
      if (item.id == id)
        return item.enabled;
    }
    return false;
  }
  bool SetEnabled(int id, bool enabled) override {
    for (auto& item : m_items) {
      if (item.id == id) {
        item.enabled = enabled;
        return true;
      }
    }
    return false;
  }
  const std::vector<Item>& items() const { return m_items; }

 private:
  std::vector<Item> m_items;
  IMPLEMENT_REFCOUNTING(MenuModelImpl);
};

class ContextMenuParamsImpl : public CefContextMenuParams {
 public:
  ContextMenuParamsImpl(int x, int y, const std::string& pageUrl)
      : m_x(x), m_y(y), m_url(pageUrl) {}
  int GetXCoord() override { return m_x; }
  int GetYCoord() override { return m_y; }
  TypeFlags GetTypeFlags() override { return CM_TYPEFLAG_PAGE; }
  CefString GetLinkUrl() override { return CefString(); }
  CefString GetPageUrl() override { return m_url; }

 private:
  int m_x, m_y;
  std::string m_url;
  IMPLEMENT_REFCOUNTING(ContextMenuParamsImpl);
};

struct Fonts {
  HFONT text, heading, title, link;
};

Fonts& SharedFonts() {
  static Fonts fonts = [] {
    Fonts f;
    auto make = [](int height, int weight, bool underline) {
      return CreateFontW(-height, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, L"Arial");
    };
    f.text = make(16, FW_NORMAL, false);
    f.heading = make(22, FW_BOLD, false);
    f.title = make(26, FW_BOLD, false);
    f.link = make(16, FW_NORMAL, true);
    return f;
  }();
  return fonts;
}

void RegisterHostClass() {
  static bool registered = false;
  if (registered)
    return;
  WNDCLASSEXW wc = {sizeof(wc)};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = BrowserImpl::HostWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kCefBrowserWindowClass;
  registered = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

uint32 KeyModifiers() {
  uint32 m = 0;
  if (GetKeyState(VK_SHIFT) & 0x8000)
    m |= EVENTFLAG_SHIFT_DOWN;
  if (GetKeyState(VK_CONTROL) & 0x8000)
    m |= EVENTFLAG_CONTROL_DOWN;
  if (GetKeyState(VK_MENU) & 0x8000)
    m |= EVENTFLAG_ALT_DOWN;
  if (GetKeyState(VK_CAPITAL) & 1)
    m |= EVENTFLAG_CAPS_LOCK_ON;
  return m;
}

}  // namespace

bool BrowserImpl::CreateHostWindow(const CefWindowInfo& info) {
  RegisterHostClass();
  DWORD style = info.style;
  if (style == 0)
    style = info.parent_window ? (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS)
                               : (WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  HWND parent = info.parent_window;
  if ((style & WS_CHILD) && !IsWindow(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  std::wstring name = CefString(&info.window_name).ToWString();
  HWND hwnd = CreateWindowExW(
      info.ex_style, kCefBrowserWindowClass, name.c_str(), style, info.x, info.y, info.width, info.height,
      parent, (style & WS_CHILD) ? nullptr : info.menu, GetModuleHandleW(nullptr), this);
  if (!hwnd)
    return false;
  DragAcceptFiles(hwnd, TRUE);
  return true;
}

LRESULT CALLBACK BrowserImpl::HostWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* browser = static_cast<BrowserImpl*>(create->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(browser));
    browser->m_hwnd = hwnd;
  }
  auto* browser = reinterpret_cast<BrowserImpl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!browser)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  CefRefPtr<BrowserImpl> keep(browser);
  LRESULT result = browser->HandleHostMessage(hwnd, message, wParam, lParam);
  // The browser may go away with the window: later messages no longer reach it.
  if (message == WM_DESTROY)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return result;
}

LRESULT BrowserImpl::HandleHostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      InvalidateRect(hwnd, nullptr, FALSE);
      break;
    case WM_LBUTTONDOWN:
      ::SetFocus(hwnd);
      return 0;
    case WM_LBUTTONUP: {
      POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      int element = ElementAt(pt);
      if (element >= 0) {
        m_focusElement = element;
        InvalidateRect(hwnd, nullptr, FALSE);
        IpcWriter w;
        w.Int(element);
        SendToRenderer(IPC_ACTIVATE_ELEMENT, w);
      }
      return 0;
    }
    case WM_RBUTTONUP: {
      POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ShowContextMenu(hwnd, pt);
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        SetCursor(LoadCursorW(nullptr, ElementAt(pt) >= 0 ? IDC_HAND : IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
      if (HandleKey(hwnd, message, wParam, lParam))
        return 0;
      break;
    case WM_DROPFILES:
      HandleDrop(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_CLOSE:
      OnHostWindowClose();
      return 0;
    case WM_DESTROY:
      OnHostWindowDestroyed();
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void BrowserImpl::Paint(HWND hwnd) {
  TraceFirstSpan firstPaint("first paint", !m_display.empty());
  ScopedPaint paint(hwnd);
  HDC target = paint.Dc();
  RECT client;
  GetClientRect(hwnd, &client);
  int width = client.right - client.left, height = client.bottom - client.top;
  // Drawn off screen, then copied in one go.
  ScopedMemoryDc memory(CreateCompatibleDC(target));
  ScopedBitmap bitmap(
      CreateCompatibleBitmap(target, width > 0 ? width : 1, height > 0 ? height : 1));
  if (!memory || !bitmap)
    return;  // nothing to draw into: the window stays as it was until the next paint
  HDC dc = memory.Get();
  ScopedSelectObject selectBitmap(dc, bitmap.Get());
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  Fonts& fonts = SharedFonts();
  m_hitRects.clear();

  int x = kMargin, y = kMargin, lineHeight = 0;
  const int right = width - kMargin;
  auto newLine = [&](int gap) {
    if (x > kMargin || gap > 0) {
      y += (lineHeight > 0 ? lineHeight : 18) + gap;
      x = kMargin;
      lineHeight = 0;
    }
  };
  ScopedSelectObject selectFont(dc, fonts.title);
  if (!m_pageTitle.empty()) {
    SetTextColor(dc, RGB(0x20, 0x20, 0x20));
    RECT r = {x, y, right, y + 40};
    DrawTextW(dc, m_pageTitle.c_str(), -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    y += 40;
  }
  for (const DisplayItem& item : m_display) {
    if (item.kind == DISPLAY_BREAK) {
      newLine(6);
      continue;
    }
    HFONT font = item.kind == DISPLAY_HEADING ? fonts.heading
                 : item.kind == DISPLAY_LINK  ? fonts.link
                                              : fonts.text;
    SelectObject(dc, font);
    SetTextColor(dc, item.kind == DISPLAY_LINK ? RGB(0x1A, 0x0D, 0xAB) : RGB(0x20, 0x20, 0x20));
    if (item.kind == DISPLAY_BUTTON) {
      SIZE size;
      GetTextExtentPoint32W(dc, item.text.c_str(), static_cast<int>(item.text.size()), &size);
      int w = size.cx + 20, h = size.cy + 10;
      if (x + w > right && x > kMargin)
        newLine(0);
      RECT box = {x, y, x + w, y + h};
      FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
      FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
      TextOutW(dc, x + 10, y + 5, item.text.c_str(), static_cast<int>(item.text.size()));
      m_hitRects.push_back({box, item.element});
      x += w + 6;
      lineHeight = lineHeight > h ? lineHeight : h;
      continue;
    }
    // Words flow and wrap at the window's right edge.
    size_t pos = 0;
    const std::wstring& text = item.text;
    while (pos < text.size()) {
      size_t end = text.find(L' ', pos);
      std::wstring word =
          text.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos + 1);
      pos = end == std::wstring::npos ? text.size() : end + 1;
      SIZE size;
      GetTextExtentPoint32W(dc, word.c_str(), static_cast<int>(word.size()), &size);
      if (x + size.cx > right && x > kMargin)
        newLine(0);
      TextOutW(dc, x, y, word.c_str(), static_cast<int>(word.size()));
      if (item.element >= 0)
        m_hitRects.push_back({RECT{x, y, x + size.cx, y + size.cy}, item.element});
      x += size.cx;
      lineHeight = lineHeight > size.cy ? lineHeight : static_cast<int>(size.cy);
    }
  }
  if (m_focusElement >= 0) {
    for (const auto& hit : m_hitRects) {
      if (hit.second == m_focusElement) {
        RECT r = hit.first;
        InflateRect(&r, 2, 2);
        DrawFocusRect(dc, &r);
      }
    }
  }
  BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
}

int BrowserImpl::ElementAt(POINT point) const {
  for (const auto& hit : m_hitRects) {
    if (PtInRect(&hit.first, point))
      return hit.second;
  }
  return -1;
}

// Tab and Shift+Tab walk the links and buttons in document order.
void BrowserImpl::MoveFocus(bool forward) {
  std::vector<int> order;
  for (const DisplayItem& item : m_display) {
    if (item.element >= 0 && (order.empty() || order.back() != item.element))
      order.push_back(item.element);
  }
  if (order.empty())
    return;
  int index = -1;
  for (size_t i = 0; i < order.size(); ++i) {
    if (order[i] == m_focusElement)
      index = static_cast<int>(i);
  }
  int count = static_cast<int>(order.size());
  index = index < 0 ? (forward ? 0 : count - 1) : (index + (forward ? 1 : count - 1)) % count;
  m_focusElement = order[index];
  Invalidate();
}

bool BrowserImpl::HandleKey(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg = {hwnd, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {0, 0}};
  CefKeyEvent event;
  bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  bool isChar = message == WM_CHAR || message == WM_SYSCHAR;
  event.type = down ? KEYEVENT_RAWKEYDOWN : isChar ? KEYEVENT_CHAR : KEYEVENT_KEYUP;
  event.windows_key_code = static_cast<int>(wParam);
  event.native_key_code = static_cast<int>(lParam);
  event.is_system_key = message == WM_SYSKEYDOWN || message == WM_SYSKEYUP || message == WM_SYSCHAR;
  event.modifiers = KeyModifiers();
  if (isChar)
    event.character = event.unmodified_character = static_cast<char16>(wParam);
  CefRefPtr<CefKeyboardHandler> handler = m_client ? m_client->GetKeyboardHandler() : nullptr;
  bool shortcut = false;
  if (handler && handler->OnPreKeyEvent(this, event, &msg, &shortcut))
    return true;
  // The page's own keys: focus movement and activation.
  if (down && wParam == VK_TAB) {
    MoveFocus(!(event.modifiers & EVENTFLAG_SHIFT_DOWN));
    return true;
  }
  if (down && wParam == VK_RETURN && m_focusElement >= 0) {
    IpcWriter w;
    w.Int(m_focusElement);
    SendToRenderer(IPC_ACTIVATE_ELEMENT, w);
    return true;
  }
  if (handler)
    handler->OnKeyEvent(this, event, &msg);
  return event.is_system_key == 0;
}

void BrowserImpl::ShowContextMenu(HWND hwnd, POINT point) {
  CefRefPtr<MenuModelImpl> model = new MenuModelImpl();
  model->AddItem(MENU_ID_BACK, "Back");
  model->AddItem(MENU_ID_FORWARD, "Forward");
  model->AddSeparator();
  model->AddItem(MENU_ID_RELOAD, "Reload");
  model->SetEnabled(MENU_ID_BACK, CanGoBack());
  model->SetEnabled(MENU_ID_FORWARD, CanGoForward());
  CefRefPtr<CefContextMenuParams> params =
      new ContextMenuParamsImpl(point.x, point.y, m_frame->GetURL().ToString());
  CefRefPtr<CefContextMenuHandler> handler = m_client ? m_client->GetContextMenuHandler() : nullptr;
  if (handler)
    handler->OnBeforeContextMenu(this, m_frame.get(), params, model.get());
  if (model->GetCount() == 0 || m_destroyed)
    return;
  int command = 0;
  {
    ScopedMenu menu(CreatePopupMenu());
    if (!menu) {
      EngineLog(LOGSEVERITY_ERROR, "cannot create the context menu, error " +
                                       std::to_string(GetLastError()));
      return;
    }
    for (const auto& item : model->items()) {
      if (item.id < 0)
        AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
      else
        AppendMenuW(menu.Get(), MF_STRING | (item.enabled ? 0 : MF_GRAYED), item.id,
                    item.label.c_str());
    }
    POINT screen = point;
    ClientToScreen(hwnd, &screen);
    command = TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                             hwnd, nullptr);
  }
  if (command == 0 || m_destroyed)
    return;
  if (handler &&
      handler->OnContextMenuCommand(this, m_frame.get(), params, command, EVENTFLAG_NONE))
    return;
  if (command == MENU_ID_BACK)
    GoBack();
  else if (command == MENU_ID_FORWARD)
    GoForward();
  else if (command == MENU_ID_RELOAD)
    Reload();
}

void BrowserImpl::HandleDrop(HDROP drop) {
  CefRefPtr<CefDragData> data = CefDragData::Create();
  UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::wstring first;
  for (UINT i = 0; i < count; ++i) {
    wchar_t path[MAX_PATH] = {};
    DragQueryFileW(drop, i, path, MAX_PATH);
    if (i == 0)
      first = path;
    data->AddFile(path, CefString());
  }
  DragFinish(drop);
  CefRefPtr<CefDragHandler> handler = m_client ? m_client->GetDragHandler() : nullptr;
  auto mask = static_cast<cef_drag_operations_mask_t>(DRAG_OPERATION_COPY | DRAG_OPERATION_LINK |
                                                      DRAG_OPERATION_MOVE);
  if (handler && handler->OnDragEnter(this, data, mask)) {
    EngineLog(LOGSEVERITY_INFO, "drop refused by the client");
    return;
  }
  if (first.empty())
    return;
  // An accepted file opens in the browser, as a browser does.
  std::string url = "file:///" + WideToUtf8(first);
  for (char& c : url) {
    if (c == '\\')
      c = '/';
  }
  Navigate(url, TT_LINK, true);
}

}  // namespace cefimpl
