// The renderer process: its render thread (the process's main thread) runs every message from
// the browser process, the posted tasks and the page timers, one at a time and in order.
#pragma once

#include "include/cef_app.h"
#include "src/common/ipc_messages.h"

namespace cefimpl {

// Runs the renderer role until the browser process ends it; returns the exit code.
int RunRendererProcess(CefRefPtr<CefApp> app, CefRefPtr<CefCommandLine> commandLine);

// Sends a message to the browser process (any thread of the renderer).
void SendToBrowser(const IpcMessage& message);
bool RenderThreadIsCurrent();
// The language the browser process gave ("--lang").
const std::string& RendererLocale();

}  // namespace cefimpl
