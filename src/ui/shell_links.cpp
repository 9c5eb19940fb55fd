#include "ui/shell_links.h"

namespace zarvik {
namespace {

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
  size_t i = 0;
  for (; prefix[i]; ++i) {
    if (i >= text.size())
      return false;
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z')
      c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != prefix[i])
      return false;
  }
  return true;
}

}  // namespace

bool IsShellWebUrl(const std::wstring& url) {
  size_t rest;
  if (StartsWithNoCase(url, L"http://"))
    rest = 7;
  else if (StartsWithNoCase(url, L"https://"))
    rest = 8;
  else
    return false;
  // A host must follow: "http:///x" and "http://\\share" are not web addresses.
  if (rest >= url.size() || url[rest] == L'/' || url[rest] == L'\\' || url[rest] == L'?' ||
      url[rest] == L'#')
    return false;
  for (wchar_t c : url) {
    if (c <= L' ' || c == 0x7F || c == L'"')
      return false;
  }
  return true;
}

}  // namespace zarvik
