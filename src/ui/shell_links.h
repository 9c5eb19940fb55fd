// Which page links the client hands to the system shell: only web addresses, so a page cannot
// make the shell start a local program, a share's file or another protocol's handler.
#pragma once

#include <string>

namespace zarvik {

// True for "http://host..." or "https://host..." (scheme in any case) that holds no control
// character, blank or quote, which could end the address inside the browser's command line.
bool IsShellWebUrl(const std::wstring& url);

}  // namespace zarvik
