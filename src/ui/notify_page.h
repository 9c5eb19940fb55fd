// Telling the main browser's page about something on the client's side: a named process message
// with an optional integer, sent to the renderer of the main browser's main frame, where the page
// callback of that name runs. Nothing comes back.
#pragma once

#include "include/cef_process_message.h"

class SimpleHandler;

// Builds the message: the name, and the value at argument 0 when one is given.
CefRefPtr<CefProcessMessage> CreatePageMessage(const char* name, const int* value);

// Sends nothing when the client is null or has no browser.
void NotifyPage(SimpleHandler* client, const char* name);
void NotifyPage(SimpleHandler* client, const char* name, int value);

