// What a page's scripts find on their global object: window, document (title, full-screen),
// console, timers, location, window.open and navigator; and the page's reactions to the
// browser process (element activation, the display list).
#pragma once

#include "src/renderer/v8_impl.h"

namespace cefimpl {

void InstallPageEnvironment(V8ContextImpl* context);
// A click or Enter on a link or button: its onclick, then a link's navigation or pop-up.
void ActivateElement(V8ContextImpl* context, int element);
// Sends the document's title and flow to the browser process for painting.
void SendDisplayList(V8ContextImpl* context);
// Runs window.onload when the page set one.
void RunOnLoad(V8ContextImpl* context);

}  // namespace cefimpl
