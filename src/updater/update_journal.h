// The journal of an installation in progress, "update.journal" in the installation folder. It is
// written and flushed before the first file of the installation is renamed, and marked committed
// once the last file is in place; it stays until the first start of the new version, which
// deletes the backups it names and then the journal.
//
// Text, UTF-8, one line each:
//   zarvik update journal        the header
//   D<tab><folder>               a folder the installation creates (removed again on roll-back)
//   N<tab><name>                 a file that did not exist before (removed on roll-back)
//   R<tab><name>                 a file set aside as "<name>.old" (put back on roll-back)
//   C<tab>committed              every file is in place
// A reader that knows only N and R lines (earlier clients) still rolls back correctly.
// No <windows.h>, so the parsing can be tested and fuzzed alone.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zarvik {

constexpr char kJournalHeaderText[] = "zarvik update journal\n";
// A journal larger than this is not one of ours.
constexpr size_t kMaxJournalBytes = 4 * 1024 * 1024;

struct UpdateJournal {
  std::vector<std::wstring> folders;   // D lines, parents first
  std::vector<std::wstring> added;     // N lines
  std::vector<std::wstring> replaced;  // R lines
  bool committed = false;
};

// The journal's text for the given plan (not committed).
std::string FormatJournal(const UpdateJournal& journal);
// The line that marks the journal committed.
inline const char* JournalCommitLine() {
  return "C\tcommitted\n";
}

// Parses a journal. False, with `problem` set, when the text is not a journal or names a path
// that could leave the installation folder (absolute, climbing, a stream, a device, ...): such a
// journal is never acted on. A last line cut short by an interruption still counts as a name
// (the journal is flushed once before any rename, so a cut line means nothing was renamed yet),
// but a cut commit line does not commit.
bool ParseJournal(const std::string& text, UpdateJournal* journal, std::string* problem);

}  // namespace zarvik
