// Text conversions between the encodings the client uses: UTF-16 (window texts, the command
// line), the system ANSI code page (paths, log texts, the login option), the OEM code page and
// UTF-8 (texts exchanged with the engines). Every conversion of the client goes through here.
#pragma once

#include <string>

namespace zarvik {

std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToOem(const std::wstring& text);

// Widens byte for byte (each byte becomes the code unit of the same value), as the first URL
// is built from the narrow login option.
std::wstring WidenBytes(const std::string& text);

}  // namespace zarvik
