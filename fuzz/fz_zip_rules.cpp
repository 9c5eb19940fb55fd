// The package-list rules (ZipListProblem) against a model of how Windows resolves the names
// once they are files: a member list the rules accept must install without surprises there.
// Input: UTF-16LE units; U+000A separates member names, a trailing separator makes a folder.
// The model resolves each name as the Win32 path layer does (either slash, trailing dots and
// blanks dropped from a component) and compares whole paths by their uppercase form, one unit at
// a time, as the file system does (here the C library's Unicode table, as in the rules' shim).
// In the model no accepted name may: be changed by that resolution, name a device, meet another
// member (also as one's folder), land on the updater's own files or scratch folder, end like a
// backup of another file, or look like a short-name alias.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <clocale>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "updater/zip_names.h"

namespace {

constexpr size_t kMaxLength = 120;

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) {
    if (c < 0xD800 || c >= 0xE000) {
      const wint_t upper = std::towupper(static_cast<wint_t>(c));
      if (upper < 0x10000)
        c = static_cast<wchar_t>(upper);
    }
  }
  return text;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The components Windows makes of a relative name.
std::vector<std::wstring> Resolve(const std::wstring& name) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == L'\\' || name[i] == L'/') {
      while (!part.empty() && (part.back() == L'.' || part.back() == L' '))
        part.pop_back();
      if (!part.empty())
        parts.push_back(part);
      part.clear();
    } else {
      part.push_back(name[i]);
    }
  }
  return parts;
}

bool IsDevice(const std::wstring& component) {
  std::wstring base = Upper(component.substr(0, component.find(L'.')));
  while (!base.empty() && base.back() == L' ')
    base.pop_back();
  static const std::set<std::wstring> kDevices = {L"CON", L"PRN",    L"AUX",
                                                  L"NUL", L"CONIN$", L"CONOUT$"};
  if (kDevices.count(base))
    return true;
  if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0))
    return (base[3] >= L'1' && base[3] <= L'9') || base[3] == 0xB9 || base[3] == 0xB2 ||
           base[3] == 0xB3;
  return false;
}

void Check(const std::vector<zarvik::ZipListedName>& names) {
  static const std::set<std::wstring> kOwnFiles = {
      L"UPDATE.JOURNAL", L"UPDATE.JOURNAL.NEW", L"UPDATE.JOURNAL.STUCK", L"ZARVIK.ZIP",
      L"UPDATE.INI",     L"UPDATE.INI.SIG",     L"UPDATE.SERIAL"};
  std::map<std::wstring, bool> paths;  // resolved, uppercased path -> is a folder
  std::set<std::wstring> folders;      // folders some member needs
  for (const zarvik::ZipListedName& member : names) {
    const std::wstring& name = member.name;
    if (name.size() > kMaxLength)
      abort();
    for (wchar_t c : name) {
      if (c < 0x20 || c == L':' || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' ||
          c == L'*')
        abort();
    }
    const std::vector<std::wstring> parts = Resolve(name);
    if (parts.empty())
      abort();
    std::wstring joined;
    for (size_t i = 0; i < parts.size(); ++i) {
      const std::wstring& part = parts[i];
      if (part == L"." || part == L".." || IsDevice(part))
        abort();
      const std::wstring upper = Upper(part);
      if (EndsWith(upper, L".OLD") || EndsWith(upper, L".OLD.UNDONE"))
        abort();
      for (size_t k = 0; k + 1 < part.size(); ++k) {
        if (part[k] == L'~' && part[k + 1] >= L'0' && part[k + 1] <= L'9')
          abort();
      }
      if (i == 0 && (upper == L"TEMP" || (parts.size() == 1 && kOwnFiles.count(upper))))
        abort();
      joined += (i ? L"\\" : L"") + part;
      if (i + 1 < parts.size())
        folders.insert(Upper(joined));
    }
    // The name must reach the file system as it was checked.
    std::wstring plain = name;
    for (wchar_t& c : plain) {
      if (c == L'/')
        c = L'\\';
    }
    if (!plain.empty() && plain.back() == L'\\')
      plain.pop_back();
    if (plain != joined)
      abort();
    if (!paths.emplace(Upper(joined), member.directory).second)
      abort();  // two members, one file
  }
  for (const auto& [path, directory] : paths) {
    if (!directory && folders.count(path))
      abort();  // a file where a folder is needed
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setlocale(LC_CTYPE, "C.UTF-8");  // the Unicode table of the model and of the rules' shim
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<zarvik::ZipListedName> names(1);
  for (size_t i = 0; i + 1 < size; i += 2) {
    const wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    if (c == L'\n') {
      names.emplace_back();
      continue;
    }
    names.back().name.push_back(c);
  }
  // As the zip reader hands them over: cleaned, folders by their trailing separator.
  for (zarvik::ZipListedName& member : names) {
    member.name = zarvik::CleanZipMemberName(member.name);
    member.directory =
        !member.name.empty() && (member.name.back() == L'/' || member.name.back() == L'\\');
  }
  size_t at = 0;
  if (!zarvik::ZipListProblem(names, kMaxLength, nullptr, &at))
    Check(names);
  return 0;
}
