// Whether the browser engine is part of this build. Until the engine library is linked in,
// the main window runs without a browser.
#pragma once

#if __has_include("include/cef_client.h")
#define ZARVIK_HAVE_ENGINE 1
#else
#define ZARVIK_HAVE_ENGINE 0
#endif
