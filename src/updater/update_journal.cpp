#include "updater/update_journal.h"

#include "common/encoding.h"
#include "updater/zip_names.h"

namespace zarvik {

std::string FormatJournal(const UpdateJournal& journal) {
  std::string text = kJournalHeaderText;
  for (const std::wstring& name : journal.folders)
    text += "D\t" + WideToUtf8(name) + "\n";
  for (const std::wstring& name : journal.added)
    text += "N\t" + WideToUtf8(name) + "\n";
  for (const std::wstring& name : journal.replaced)
    text += "R\t" + WideToUtf8(name) + "\n";
  return text;
}

bool ParseJournal(const std::string& text, UpdateJournal* journal, std::string* problem) {
  *journal = UpdateJournal();
  const std::string header = kJournalHeaderText;
  if (text.size() > kMaxJournalBytes) {
    *problem = "journal too large";
    return false;
  }
  if (text.compare(0, header.size(), header) != 0) {
    *problem = "no journal header";
    return false;
  }
  size_t start = header.size();
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const bool complete = end != std::string::npos;
    if (!complete)
      end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty())
      continue;
    if (line.size() < 3 || line[1] != '\t') {
      *problem = "malformed line";
      return false;
    }
    const char kind = line[0];
    if (kind == 'C') {
      journal->committed = complete && line == "C\tcommitted";
      continue;
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
    else {
      *problem = "unknown line";
      return false;
    }
  }
  return true;
}

}  // namespace zarvik
