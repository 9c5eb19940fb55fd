// The role of this copy of the executable, from the engine's switch "type", and the engine
// application object that goes with it.
#pragma once

#include "include/cef_app.h"

enum class ProcessRole { kBrowser, kRenderer, kOther };

// No "type": the browser process; "type" exactly "renderer" (letter case and all): the
// renderer; any other value, an empty one included: another helper.
ProcessRole ChooseProcessRole(CefRefPtr<CefCommandLine> commandLine);

// A new ClientAppBrowser, ClientAppRenderer or ClientAppOther.
CefRefPtr<CefApp> CreateApplicationObject(ProcessRole role);
