// C++ wrappers of the engine's records: zeroed on construction with the size field set, strings
// owned and copied.
#pragma once

#include <cstring>

#include "include/internal/cef_types.h"

class CefMainArgs : public cef_main_args_t {
 public:
  CefMainArgs() { instance = nullptr; }
  explicit CefMainArgs(HINSTANCE hInstance) { instance = hInstance; }
};

class CefRect : public cef_rect_t {
 public:
  CefRect() { x = y = width = height = 0; }
  CefRect(int x_, int y_, int w, int h) {
    x = x_;
    y = y_;
    width = w;
    height = h;
  }
};

class CefKeyEvent : public cef_key_event_t {
 public:
  CefKeyEvent() { std::memset(static_cast<cef_key_event_t*>(this), 0, sizeof(cef_key_event_t)); }
};

class CefPopupFeatures : public cef_popup_features_t {
 public:
  CefPopupFeatures() {
    std::memset(static_cast<cef_popup_features_t*>(this), 0, sizeof(cef_popup_features_t));
    menuBarVisible = statusBarVisible = toolBarVisible = scrollbarsVisible = 1;
  }
};

namespace cef_internal {
inline void CopyString(const cef_string_t& from, cef_string_t* to) {
  cef_string_utf16_set(from.str, from.length, to, 1);
}
}  // namespace cef_internal

class CefWindowInfo : public cef_window_info_t {
 public:
  CefWindowInfo() {
    std::memset(static_cast<cef_window_info_t*>(this), 0, sizeof(cef_window_info_t));
  }
  CefWindowInfo(const cef_window_info_t& r) : CefWindowInfo() { Set(r); }
  CefWindowInfo(const CefWindowInfo& r) : CefWindowInfo() { Set(r); }
  CefWindowInfo& operator=(const CefWindowInfo& r) {
    if (this != &r)
      Set(r);
    return *this;
  }
  ~CefWindowInfo() { cef_string_utf16_clear(&window_name); }

  // A child window of |parent| at |windowRect| (in the parent's client coordinates).
  void SetAsChild(cef_window_handle_t parent, RECT windowRect) {
    style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VISIBLE;
    parent_window = parent;
    x = windowRect.left;
    y = windowRect.top;
    width = windowRect.right - windowRect.left;
    height = windowRect.bottom - windowRect.top;
  }
  // A top-level window owned by |parent| (may be null) with the engine's default placement.
  void SetAsPopup(cef_window_handle_t parent, const CefString& windowName) {
    style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
    parent_window = parent;
    x = y = width = height = CW_USEDEFAULT;
    CefString(&this->window_name) = windowName;
  }

 private:
  void Set(const cef_window_info_t& r) {
    cef_string_utf16_clear(&window_name);
    cef_window_info_t copy = r;
    copy.window_name.str = nullptr;
    copy.window_name.length = 0;
    copy.window_name.dtor = nullptr;
    *static_cast<cef_window_info_t*>(this) = copy;
    cef_internal::CopyString(r.window_name, &window_name);
  }
};

class CefSettings : public cef_settings_t {
 public:
  CefSettings() {
    std::memset(static_cast<cef_settings_t*>(this), 0, sizeof(cef_settings_t));
    size = sizeof(cef_settings_t);
  }
  CefSettings(const CefSettings&) = delete;
  CefSettings& operator=(const CefSettings&) = delete;
  ~CefSettings() {
    cef_string_t* strings[] = {&browser_subprocess_path,
                               &framework_dir_path,
                               &main_bundle_path,
                               &cache_path,
                               &root_cache_path,
                               &user_data_path,
                               &user_agent,
                               &product_version,
                               &locale,
                               &log_file,
                               &javascript_flags,
                               &resources_dir_path,
                               &locales_dir_path,
                               &accept_language_list,
                               &application_client_id_for_file_scanning};
    for (cef_string_t* s : strings)
      cef_string_utf16_clear(s);
  }
};

class CefBrowserSettings : public cef_browser_settings_t {
 public:
  CefBrowserSettings() {
    std::memset(static_cast<cef_browser_settings_t*>(this), 0, sizeof(cef_browser_settings_t));
    size = sizeof(cef_browser_settings_t);
  }
  CefBrowserSettings(const CefBrowserSettings&) = delete;
  CefBrowserSettings& operator=(const CefBrowserSettings&) = delete;
  ~CefBrowserSettings() {
    cef_string_utf16_clear(&standard_font_family);
    cef_string_utf16_clear(&default_encoding);
    cef_string_utf16_clear(&accept_language_list);
  }
};

typedef cef_thread_id_t CefThreadId;
typedef cef_process_id_t CefProcessId;
typedef cef_window_handle_t CefWindowHandle;
typedef cef_event_handle_t CefEventHandle;
