#include "updater/zip_names.h"

#include <set>

namespace zarvik {

std::wstring CleanZipMemberName(std::wstring name) {
  static const wchar_t* const kUpSequences[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
  for (;;) {
    if (name.size() >= 2 && name[1] == L':') {
      name.erase(0, 2);
      continue;
    }
    if (!name.empty() && (name[0] == L'\\' || name[0] == L'/')) {
      name.erase(0, 1);
      continue;
    }
    bool cut = false;
    for (const wchar_t* sequence : kUpSequences) {
      size_t at = name.find(sequence);
      if (at != std::wstring::npos) {
        name.erase(0, at + 4);
        cut = true;
        break;
      }
    }
    if (!cut)
      return name;
  }
}

bool ZipNameLeavesRoot(const std::wstring& name) {
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of(L"\\/", start);
    if (end == std::wstring::npos)
      end = name.size();
    std::wstring part = name.substr(start, end - start);
    // The system drops trailing dots and blanks of a component, so "..", ".. " and "..." all
    // climb; a single "." stays where it is.
    size_t dots = 0;
    bool onlyDotsAndBlanks = !part.empty();
    for (wchar_t c : part) {
      if (c == L'.')
        ++dots;
      else if (c != L' ')
        onlyDotsAndBlanks = false;
    }
    if (onlyDotsAndBlanks && dots >= 2)
      return true;
    start = end + 1;
  }
  return false;
}

namespace {

bool IsSeparatorChar(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// Characters that best-fit conversions or other code pages turn into a dot, a separator or a
// colon, whatever the code page of this machine.
bool IsLookAlike(wchar_t c) {
  switch (c) {
    case 0xFF0E:  // fullwidth full stop
    case 0xFF0F:  // fullwidth solidus
    case 0xFF3C:  // fullwidth reverse solidus
    case 0xFF1A:  // fullwidth colon
    case 0x2215:  // division slash
    case 0x2216:  // set minus
    case 0x2044:  // fraction slash
    case 0x2024:  // one dot leader
    case 0xFE52:  // small full stop
    case 0x00A5:  // yen sign: the separator on code page 932
    case 0x20A9:  // won sign: the separator on code page 949
      return true;
  }
  return false;
}

bool IsDeviceName(const std::wstring& component) {
  // The device is what stands before the first dot, trailing blanks dropped.
  std::wstring base = component.substr(0, component.find(L'.'));
  while (!base.empty() && base.back() == L' ')
    base.pop_back();
  UppercaseLikeTheFileSystem(&base);
  if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
      base == L"CONOUT$")
    return true;
  if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0)) {
    wchar_t d = base[3];
    return (d >= L'1' && d <= L'9') || d == 0xB9 || d == 0xB2 || d == 0xB3;  // also superscripts
  }
  return false;
}

bool EndsWith(const std::wstring& text, const wchar_t* tail) {
  const std::wstring end = tail;
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A short-name alias has the form "BASE~N.EXT"; whatever follows the digit, it may name
// another file of the folder.
bool MayBeShortNameAlias(const std::wstring& component) {
  for (size_t i = 0; i + 1 < component.size(); ++i) {
    if (component[i] == L'~' && component[i + 1] >= L'0' && component[i + 1] <= L'9')
      return true;
  }
  return false;
}

// The updater's own files at the top of the installation, uppercased.
bool IsUpdaterFileName(const std::wstring& folded) {
  static const wchar_t* const kNames[] = {
      L"UPDATE.JOURNAL", L"UPDATE.JOURNAL.NEW", L"UPDATE.JOURNAL.STUCK", L"ZARVIK.ZIP",
      L"UPDATE.INI",     L"UPDATE.INI.SIG",     L"UPDATE.SERIAL",        L"UPDATE.SERIAL.NEW",
  };
  for (const wchar_t* name : kNames) {
    if (folded == name)
      return true;
  }
  return false;
}

}  // namespace

const char* ZipNameProblem(const std::wstring& name, char (*ansiOf)(wchar_t)) {
  if (name.empty())
    return "empty name";
  if (ZipNameLeavesRoot(name))
    return "climbs out of the folder";
  for (wchar_t c : name) {
    if (c < 0x20 || c == 0x7F)
      return "control character";
    if (c == L':')
      return "colon";
    if (c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*')
      return "reserved character";
    if (IsLookAlike(c))
      return "look-alike of a dot, separator or colon";
    if (c >= 0x80 && ansiOf) {
      char a = ansiOf(c);
      if (a == '.' || a == '\\' || a == '/' || a == ':')
        return "character the code page turns into a dot, separator or colon";
    }
  }
  std::wstring trimmed = name;
  if (IsSeparatorChar(trimmed.back()))
    trimmed.pop_back();  // a directory member
  size_t start = 0;
  bool first = true;
  while (start <= trimmed.size()) {
    size_t end = trimmed.find_first_of(L"\\/", start);
    if (end == std::wstring::npos)
      end = trimmed.size();
    const std::wstring part = trimmed.substr(start, end - start);
    if (part.empty())
      return "empty component";
    if (part.back() == L'.' || part.back() == L' ')
      return "component ends in a dot or a blank";
    if (IsDeviceName(part))
      return "device name";
    if (MayBeShortNameAlias(part))
      return "may be a short-name alias";
    std::wstring folded = part;
    UppercaseLikeTheFileSystem(&folded);
    // The updater sets replaced files aside under these names and puts them back from there.
    if (EndsWith(folded, L".OLD") || EndsWith(folded, L".OLD.UNDONE"))
      return "named like the updater's backups";
    if (first) {
      if (folded == L"TEMP")
        return "the updater's scratch folder";
      if (end == trimmed.size() && IsUpdaterFileName(folded))
        return "the updater's own file";
    }
    first = false;
    start = end + 1;
  }
  return nullptr;
}

std::wstring FoldZipName(const std::wstring& name) {
  std::wstring folded = name;
  for (wchar_t& c : folded) {
    if (c == L'/')
      c = L'\\';
  }
  UppercaseLikeTheFileSystem(&folded);
  while (!folded.empty() && folded.back() == L'\\')
    folded.pop_back();
  return folded;
}

const char* ZipListProblem(const std::vector<ZipListedName>& names,
                           size_t maxLength,
                           char (*ansiOf)(wchar_t),
                           size_t* at) {
  std::set<std::wstring> seen, folders;
  std::vector<std::wstring> folded(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    *at = i;
    const char* problem = ZipNameProblem(names[i].name, ansiOf);
    if (problem)
      return problem;
    if (names[i].name.size() > maxLength)
      return "name too long for the installation folder";
    folded[i] = FoldZipName(names[i].name);
    if (!seen.insert(folded[i]).second)
      return "two members with the same name";
    for (size_t slash = folded[i].find(L'\\'); slash != std::wstring::npos;
         slash = folded[i].find(L'\\', slash + 1))
      folders.insert(folded[i].substr(0, slash));
  }
  for (size_t i = 0; i < names.size(); ++i) {
    *at = i;
    if (!names[i].directory && folders.count(folded[i]))
      return "a file where a folder is needed";
  }
  return nullptr;
}

uint32_t DeriveZipAttributes(unsigned host, uint32_t a) {
  bool readOnly, hidden, system, directory, archive;
  if (host == 0 || host == 7 || host == 11 || host == 14) {  // FAT, Macintosh, NTFS, VFAT
    readOnly = (a & 0x01) != 0;
    hidden = (a & 0x02) != 0;
    system = (a & 0x04) != 0;
    directory = (a & 0x10) != 0;
    archive = (a & 0x20) != 0;
  } else {  // Unix mode bits in the high word
    directory = (a & 0x40000000) != 0;
    readOnly = (a & 0x00800000) == 0;
    archive = true;
    hidden = false;
    system = false;
  }
  uint32_t attributes = 0;
  if (directory)
    attributes |= 0x10;
  if (archive)
    attributes |= 0x20;
  if (hidden)
    attributes |= 0x2;
  if (readOnly)
    attributes |= 0x1;
  if (system)
    attributes |= 0x4;
  return attributes;
}

bool ParseZipUnixTimes(const unsigned char* extra, size_t size, ZipUnixTimes* times) {
  if (!extra || !times)
    return false;
  size_t at = 0;
  while (at + 4 <= size) {
    size_t dataSize = extra[at + 2];  // the low byte of the 16-bit block size
    size_t data = at + 4;
    if (extra[at] == 'U' && extra[at + 1] == 'T') {
      size_t end = data + dataSize < size ? data + dataSize : size;
      if (data >= end)
        return false;
      unsigned flags = extra[data];
      size_t p = data + 1;
      auto next = [&](bool wanted, bool* has, int64_t* value) {
        if (!wanted)
          return;
        if (p + 4 > end) {
          p = end;  // the central header carries fewer times than its flags name
          return;
        }
        uint32_t raw = static_cast<uint32_t>(extra[p]) |
                       (static_cast<uint32_t>(extra[p + 1]) << 8) |
                       (static_cast<uint32_t>(extra[p + 2]) << 16) |
                       (static_cast<uint32_t>(extra[p + 3]) << 24);
        *value = static_cast<int32_t>(raw);
        *has = true;
        p += 4;
      };
      next((flags & 1) != 0, &times->hasModification, &times->modification);
      next((flags & 2) != 0, &times->hasAccess, &times->access);
      next((flags & 4) != 0, &times->hasCreation, &times->creation);
      return true;
    }
    at = data + dataSize;
  }
  return false;
}

}  // namespace zarvik
