#include "updater/update_journal.h"

#include "common/encoding.h"
#include "updater/zip_names.h"

namespace zarvik {

namespace {

constexpr char kCommitLine[] = "C\tcommitted";

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// One complete line; false with `problem` set when it is malformed, unknown or names an unsafe
// path.
bool ReadLine(const std::string& line, bool current, UpdateJournal* journal, std::string* problem) {
  if (line.size() < 3 || line[1] != '\t') {
    *problem = "malformed line";
    return false;
  }
  const char kind = line[0];
  if (kind == 'C') {
    if (line != kCommitLine) {
      *problem = "malformed line";
      return false;
    }
    journal->committed = true;
    return true;
  }
  if (kind != 'D' && kind != 'N' && kind != 'R' && !(current && kind == 'U')) {
    *problem = "unknown line";
    return false;
  }
  const std::wstring name = Utf8ToWide(line.substr(2));
  // The names are used below the installation folder: the same rules as package members.
  if (name.size() > 259 || ZipNameProblem(name) || CleanZipMemberName(name) != name) {
    *problem = "unsafe name in the journal";
    return false;
  }
  if (kind == 'D')
    journal->folders.push_back(name);
  else if (kind == 'N')
    journal->added.push_back(name);
  else if (kind == 'R')
    journal->replaced.push_back(name);
  else
    journal->undone.push_back(name);
  return true;
}

}  // namespace

std::string FormatJournal(const UpdateJournal& journal) {
  std::string text = kJournalHeader2Text;
  for (const std::wstring& name : journal.folders)
    text += "D\t" + WideToUtf8(name) + "\n";
  for (const std::wstring& name : journal.added)
    text += "N\t" + WideToUtf8(name) + "\n";
  for (const std::wstring& name : journal.replaced)
    text += "R\t" + WideToUtf8(name) + "\n";
  for (const std::wstring& name : journal.undone)
    text += "U\t" + WideToUtf8(name) + "\n";
  if (journal.committed)
    text += std::string(kCommitLine) + "\n";
  return text + kJournalEndLine;
}

JournalText ParseJournal(const std::string& text, UpdateJournal* journal, std::string* problem) {
  *journal = UpdateJournal();
  if (text.size() > kMaxJournalBytes) {
    *problem = "journal too large";
    return JournalText::kRefused;
  }
  const std::string header2 = kJournalHeader2Text;
  const std::string header1 = kJournalHeaderText;
  const bool current = StartsWith(text, header2);
  if (!current && !StartsWith(text, header1)) {
    // Empty, or cut inside the header: the writing stopped before any name.
    if (header2.compare(0, text.size(), text) == 0) {
      *problem = "cut in its header";
      return JournalText::kIncomplete;
    }
    *problem = "no journal header";
    return JournalText::kRefused;
  }
  size_t start = current ? header2.size() : header1.size();
  if (current) {
    // Whole only with the end line last; whatever it holds before that is never looked at.
    const std::string end = kJournalEndLine;
    const size_t at = text.rfind(end);
    if (at == std::string::npos || at < start || at + end.size() != text.size() ||
        (at != start && text[at - 1] != '\n')) {
      *problem = "no end line";
      return JournalText::kIncomplete;
    }
    for (size_t stop; start < at; start = stop + 1) {
      stop = text.find('\n', start);
      const std::string line = text.substr(start, stop - start);
      if (line.empty() || !ReadLine(line, true, journal, problem)) {
        if (line.empty())
          *problem = "empty line";
        *journal = UpdateJournal();
        return JournalText::kRefused;
      }
    }
    return JournalText::kUsable;
  }
  // The earlier format.
  while (start < text.size()) {
    const size_t stop = text.find('\n', start);
    if (stop == std::string::npos) {
      // The last line was cut: a name may be cut short, a zero-filled tail is no line at all.
      const std::string cut = text.substr(start);
      const std::string commit = kCommitLine;
      if (!journal->committed && commit.compare(0, cut.size(), cut) == 0)
        return JournalText::kUsable;  // the list is whole; the commit did not happen
      *journal = UpdateJournal();
      *problem = "its last line is cut";
      return JournalText::kIncomplete;
    }
    const std::string line = text.substr(start, stop - start);
    start = stop + 1;
    if (line.empty())
      continue;
    if (!ReadLine(line, false, journal, problem)) {
      *journal = UpdateJournal();
      return JournalText::kRefused;
    }
  }
  return JournalText::kUsable;
}

}  // namespace zarvik
