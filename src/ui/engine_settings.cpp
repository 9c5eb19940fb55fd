#include "ui/engine_settings.h"

#include "include/internal/cef_string.h"

void FillEngineSettings(CefSettings& settings, const std::wstring& exeDirectory) {
  settings.no_sandbox = 0;
  settings.multi_threaded_message_loop = 1;
  CefString(&settings.cache_path) = exeDirectory + L"cache";
  CefString(&settings.locale) = "zh-CN";
  CefString(&settings.log_file) = "browser.log";
}

