#include "src/common/text.h"

#include <windows.h>

#include <curl/curl.h>

#include <cctype>

namespace cefimpl {

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty())
    return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty())
    return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string UrlScheme(const std::string& url) {
  size_t i = 0;
  if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0])))
    return std::string();
  while (i < url.size() && (std::isalnum(static_cast<unsigned char>(url[i])) || url[i] == '+' ||
                            url[i] == '-' || url[i] == '.'))
    ++i;
  if (i >= url.size() || url[i] != ':')
    return std::string();
  return AsciiLower(url.substr(0, i));
}

std::string ResolveUrl(const std::string& base, const std::string& relative) {
  if (!UrlScheme(relative).empty())
    return relative;
  std::string scheme = UrlScheme(base);
  if (scheme != "http" && scheme != "https" && scheme != "file")
    return relative;
  std::string result = relative;
  CURLU* handle = curl_url();
  if (!handle)
    return result;
  if (curl_url_set(handle, CURLUPART_URL, base.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
      curl_url_set(handle, CURLUPART_URL, relative.c_str(), CURLU_NON_SUPPORT_SCHEME) ==
          CURLUE_OK) {
    char* full = nullptr;
    if (curl_url_get(handle, CURLUPART_URL, &full, 0) == CURLUE_OK && full) {
      result = full;
      curl_free(full);
    }
  }
  curl_url_cleanup(handle);
  return result;
}

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool Base64Decode(const std::string& in, std::string* out) {
  static const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  unsigned buffer = 0;
  int bits = 0;
  for (char c : in) {
    if (c == '=' || std::isspace(static_cast<unsigned char>(c)))
      continue;
    size_t v = alphabet.find(c);
    if (v == std::string::npos)
      return false;
    buffer = (buffer << 6) | static_cast<unsigned>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out->push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
  return true;
}
}  // namespace

bool DecodeDataUrl(const std::string& url, std::string* mimeType, std::string* body) {
  if (UrlScheme(url) != "data")
    return false;
  size_t comma = url.find(',');
  if (comma == std::string::npos)
    return false;
  std::string header = url.substr(5, comma - 5);
  bool base64 = false;
  const std::string marker = ";base64";
  if (header.size() >= marker.size() &&
      AsciiLower(header.substr(header.size() - marker.size())) == marker) {
    base64 = true;
    header.resize(header.size() - marker.size());
  }
  size_t semicolon = header.find(';');
  *mimeType = AsciiLower(header.substr(0, semicolon));
  if (mimeType->empty())
    *mimeType = "text/plain";
  std::string data = url.substr(comma + 1);
  body->clear();
  std::string decoded;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '%' && i + 2 < data.size() && HexValue(data[i + 1]) >= 0 &&
        HexValue(data[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(HexValue(data[i + 1]) * 16 + HexValue(data[i + 2])));
      i += 2;
    } else {
      decoded.push_back(data[i]);
    }
  }
  if (!base64) {
    *body = decoded;
    return true;
  }
  return Base64Decode(decoded, body);
}

}  // namespace cefimpl
