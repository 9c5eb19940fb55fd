// Engine strings: the C record cef_string_t (UTF-16) and the C++ wrapper CefString, which
// converts from and to UTF-8 std::string and std::wstring.
#pragma once

#include <cstddef>
#include <string>

typedef wchar_t char16;

typedef struct _cef_string_utf16_t {
  char16* str;
  size_t length;
  void (*dtor)(char16* str);
} cef_string_utf16_t;

typedef cef_string_utf16_t cef_string_t;
typedef cef_string_utf16_t* cef_string_userfree_t;

// Copies (copy != 0) or references the text; clears the output first.
int cef_string_utf16_set(const char16* src, size_t src_len, cef_string_utf16_t* output, int copy);
void cef_string_utf16_clear(cef_string_utf16_t* str);
// Compares code unit by code unit; shorter prefix first.
int cef_string_utf16_cmp(const cef_string_utf16_t* str1, const cef_string_utf16_t* str2);
int cef_string_wide_to_utf16(const wchar_t* src, size_t src_len, cef_string_utf16_t* output);
int cef_string_utf8_to_utf16(const char* src, size_t src_len, cef_string_utf16_t* output);
int cef_string_ascii_to_utf16(const char* src, size_t src_len, cef_string_utf16_t* output);

#define cef_string_set cef_string_utf16_set
#define cef_string_clear cef_string_utf16_clear
#define cef_string_cmp cef_string_utf16_cmp

class CefString {
 public:
  typedef cef_string_t struct_type;
  typedef char16 char_type;

  CefString() {}
  CefString(const CefString& other) : own_(other.ToWString()) {}
  CefString(const std::string& utf8) { FromString(utf8); }
  CefString(const char* utf8) {
    if (utf8)
      FromString(std::string(utf8));
  }
  CefString(const std::wstring& wide) : own_(wide) {}
  CefString(const wchar_t* wide) : own_(wide ? wide : L"") {}
  // Copies the record's text.
  CefString(const cef_string_t* src) {
    if (src && src->str)
      own_.assign(src->str, src->length);
  }
  // Refers to the record without owning it: every change is written into the record, as in
  // CefString(&settings.cache_path) = path.
  CefString(cef_string_t* src) : attached_(src) {}

  CefString& operator=(const CefString& other) {
    Assign(other.ToWString());
    return *this;
  }
  CefString& operator=(const std::string& utf8) {
    FromString(utf8);
    return *this;
  }
  CefString& operator=(const char* utf8) {
    FromString(std::string(utf8 ? utf8 : ""));
    return *this;
  }
  CefString& operator=(const std::wstring& wide) {
    Assign(wide);
    return *this;
  }
  CefString& operator=(const wchar_t* wide) {
    Assign(std::wstring(wide ? wide : L""));
    return *this;
  }

  const char16* c_str() const {
    return attached_ ? (attached_->str ? attached_->str : L"") : own_.c_str();
  }
  size_t length() const { return attached_ ? attached_->length : own_.size(); }
  size_t size() const { return length(); }
  bool empty() const { return length() == 0; }
  void clear() { Assign(std::wstring()); }
  int compare(const CefString& other) const { return ToWString().compare(other.ToWString()); }

  std::string ToString() const;  // UTF-8
  std::wstring ToWString() const { return std::wstring(c_str(), length()); }
  std::wstring ToString16() const { return ToWString(); }
  bool FromString(const std::string& utf8);
  bool FromWString(const std::wstring& wide) {
    Assign(wide);
    return true;
  }
  bool FromASCII(const char* ascii) { return FromString(std::string(ascii ? ascii : "")); }
  bool FromString16(const std::wstring& text) { return FromWString(text); }

  operator std::string() const { return ToString(); }
  operator std::wstring() const { return ToWString(); }

  // The record this string refers to, or none for a string that owns its text.
  cef_string_t* GetWritableStruct() const { return attached_; }

 private:
  void Assign(const std::wstring& text);

  cef_string_t* attached_ = nullptr;
  std::wstring own_;
};

inline bool operator<(const CefString& a, const CefString& b) {
  return a.compare(b) < 0;
}
inline bool operator==(const CefString& a, const CefString& b) {
  return a.compare(b) == 0;
}
inline bool operator!=(const CefString& a, const CefString& b) {
  return a.compare(b) != 0;
}

#include <ostream>
// Writes the text as UTF-8.
inline std::ostream& operator<<(std::ostream& out, const CefString& text) {
  return out << text.ToString();
}
