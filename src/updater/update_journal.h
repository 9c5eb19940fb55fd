// The journal of an installation in progress, "update.journal" in the installation folder. It is
// written whole under a temporary name, flushed, and renamed into place before the first file of
// the installation is renamed; the committed journal replaces it the same way once the last file
// is in place. It stays until the first start of the new version, which deletes the backups it
// names and then the journal.
//
// Text, UTF-8, one line each:
//   zarvik update journal 2      the header
//   D<tab><folder>               a folder the installation creates (removed again on roll-back)
//   N<tab><name>                 a file that did not exist before (removed on roll-back)
//   R<tab><name>                 a file set aside as "<name>.old" (put back on roll-back)
//   U<tab><name>                 "<name>.old.undone", left by a roll-back (deleted by the clean-up)
//   C<tab>committed              every file is in place
//   E<tab>end                    the end: a journal without it was never finished
// Clients before this format wrote the header "zarvik update journal" with N, R, D and C lines,
// no end line, and appended the commit line; such a journal is still read (see ParseJournal).
// No <windows.h>, so the parsing can be tested and fuzzed alone.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zarvik {

constexpr char kJournalHeaderText[] = "zarvik update journal\n";  // earlier clients' journals
constexpr char kJournalHeader2Text[] = "zarvik update journal 2\n";
constexpr char kJournalEndLine[] = "E\tend\n";
// A journal larger than this is not one of ours.
constexpr size_t kMaxJournalBytes = 4 * 1024 * 1024;

struct UpdateJournal {
  std::vector<std::wstring> folders;   // D lines, parents first
  std::vector<std::wstring> added;     // N lines
  std::vector<std::wstring> replaced;  // R lines
  std::vector<std::wstring> undone;    // U lines
  bool committed = false;
};

// The journal's whole text, from the header to the end line (with the commit line when
// `journal.committed`).
std::string FormatJournal(const UpdateJournal& journal);

enum class JournalText {
  kUsable,      // whole and safe: may be rolled back or finished
  kIncomplete,  // its writing never finished, so nothing was renamed for it: never acted on
  kRefused,     // not one of ours, or it names a path that could leave the installation folder
                // (absolute, climbing, a stream, a device, ...): never acted on
};

// Parses a journal; `problem` says what is wrong unless the result is kUsable.
// A journal with the current header is usable only with its end line as the last line. One with
// the earlier header has no end line: its last line counts only when the line break after it was
// written; a cut name line makes it incomplete, while a cut commit line leaves a whole list that
// is not committed (the commit was appended after every file was in place).
JournalText ParseJournal(const std::string& text, UpdateJournal* journal, std::string* problem);

}  // namespace zarvik
