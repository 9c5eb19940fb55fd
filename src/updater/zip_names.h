// Pure rules of the zip reader: member-name cleaning, attribute derivation and the "UT" extra
// field. No <windows.h>, so they can be tested and fuzzed alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zarvik {

// Strips drive prefixes, one leading separator per round and everything up to a "\..\"-style
// sequence, until no rule applies: "..\..\evil.dll" -> "evil.dll", "C:\x\y.dll" -> "x\y.dll".
std::wstring CleanZipMemberName(std::wstring name);

// True when a name could still leave the folder it is written below: any component made of dots
// only (such as "..", also with trailing blanks, which the system drops).
bool ZipNameLeavesRoot(const std::wstring& name);

// Why a cleaned member name must not be installed, or nullptr when it may. Refused: an empty
// name or component, ":" (streams, drives), control characters and <>"|?*, a component ending in
// a dot or a blank, device names (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with an extension),
// a component that ends like the updater's backups (".old", ".old.undone"), a component with "~"
// followed by a digit (it could be the short 8.3 alias of another file), the updater's own files
// at the top ("update.journal" and its temporary and set-aside names, "zarvik.zip", "update.ini",
// "update.ini.sig", "update.serial" and its temporary name) and anything below "Temp", characters that look like a dot,
// a separator or a colon (fullwidth forms, division and set-minus signs, yen and won signs), and,
// through `ansiOf`, any other character that the ANSI code page turns into one of ". \ / :".
// `ansiOf` gives the single ANSI byte a character becomes (0 when none); it may be null. Case is
// compared as the file system compares it (FoldZipName).
const char* ZipNameProblem(const std::wstring& name, char (*ansiOf)(wchar_t) = nullptr);

// Uppercases `text` in place, one UTF-16 unit at a time, with the system's uppercase table: two
// names are the same file name when their uppercase forms are equal. Defined apart from these
// rules (zip_name_case.cpp) so that native builds can supply their own table.
void UppercaseLikeTheFileSystem(std::wstring* text);

// A name folded for case-insensitive comparison: uppercased as the file system compares names,
// with "/" read as "\" and no trailing separator.
std::wstring FoldZipName(const std::wstring& name);

// One member of a package as listed: its cleaned name and whether it is a folder.
struct ZipListedName {
  std::wstring name;
  bool directory = false;
};

// Checks a package's member list as a whole before anything of it is written: every name must
// pass ZipNameProblem, be at most `maxLength` characters, and differ from every other name as the
// file system compares them; no file may stand where another member needs a folder. Returns the
// problem, or nullptr, and the index of the refused member in `at`.
const char* ZipListProblem(const std::vector<ZipListedName>& names,
                           size_t maxLength,
                           char (*ansiOf)(wchar_t),
                           size_t* at);

// Windows attribute word from the member's external attributes and the high byte of its
// version-made-by field (the host system).
uint32_t DeriveZipAttributes(unsigned host, uint32_t externalAttributes);

// Times found in an extended-timestamp ("UT") extra field, as Unix seconds.
struct ZipUnixTimes {
  bool hasModification = false;
  bool hasAccess = false;
  bool hasCreation = false;
  int64_t modification = 0;
  int64_t access = 0;
  int64_t creation = 0;
};

// Scans the extra field's blocks for the first "UT" block. Only what lies inside the block and
// the buffer is read; false when there is no such block.
bool ParseZipUnixTimes(const unsigned char* extra, size_t size, ZipUnixTimes* times);

// Unix seconds to a 64-bit file time (100 ns since 1601).
inline uint64_t UnixSecondsToFileTime(int64_t seconds) {
  return static_cast<uint64_t>(seconds * 10000000LL + 116444736000000000LL);
}

}  // namespace zarvik
