// The settings the browser engine is started with in the browser process.
#pragma once

#include <string>

#include "include/internal/cef_types_wrappers.h"

// Engine's own message-loop thread, sandbox on, cache "cache" in `exeDirectory` (with its
// trailing backslash), locale "zh-CN", engine log "browser.log"; everything else left zero.
void FillEngineSettings(CefSettings& settings, const std::wstring& exeDirectory);

