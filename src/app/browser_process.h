// The browser process, the copy of the executable the game starts: start-up, the main and voice
// windows, the message loop and the shutdown.
#pragma once

#include <windows.h>

#include <curl/curl.h>

class ProcessScope;

// Runs the browser process. Returns 0 when the start arguments are bad or the update course was
// taken; a normal run ends the process itself after the message loop and does not return.
// `curlReady` is the result of libcurl's global set-up, logged once the log exists.
int RunBrowserProcess(HINSTANCE instance, CURLcode curlReady, ProcessScope& process);
