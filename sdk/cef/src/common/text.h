// Text helpers of the engine: UTF-8/UTF-16 conversion, lower case, URL pieces.
#pragma once

#include <string>

namespace cefimpl {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::string AsciiLower(std::string text);

// The scheme of an absolute URL in lower case ("http", "data", "about"), or "" when the text
// has none.
std::string UrlScheme(const std::string& url);
// |relative| resolved against the document address |base|.
std::string ResolveUrl(const std::string& base, const std::string& relative);

// A data URL's content: false when it is malformed.
bool DecodeDataUrl(const std::string& url, std::string* mimeType, std::string* body);

}  // namespace cefimpl
