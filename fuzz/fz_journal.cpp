// The update journal's parser and format. Two kinds of input, chosen by the first byte:
// - any bytes as a journal: a usable one names only safe paths and formats back to a text that
//   parses to the same journal;
// - a journal built from the input's names: its text parses back to it, and no cut of it, with
//   or without a zero-filled tail, is ever usable (nor one in the earlier format cut inside a
//   name line); the earlier format cut inside its commit line keeps its list, uncommitted.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <clocale>
#include <string>

#include "common/encoding.h"
#include "updater/update_journal.h"
#include "updater/zip_names.h"

namespace {

using zarvik::JournalText;
using zarvik::UpdateJournal;

bool Same(const UpdateJournal& a, const UpdateJournal& b) {
  return a.folders == b.folders && a.added == b.added && a.replaced == b.replaced &&
         a.undone == b.undone && a.committed == b.committed;
}

bool Usable(const std::string& text, UpdateJournal* journal) {
  std::string problem;
  return zarvik::ParseJournal(text, journal, &problem) == JournalText::kUsable;
}

void CheckSafe(const UpdateJournal& journal) {
  for (const auto* names : {&journal.folders, &journal.added, &journal.replaced, &journal.undone}) {
    for (const std::wstring& name : *names) {
      if (name.empty() || zarvik::ZipNameProblem(name) || zarvik::ZipNameLeavesRoot(name) ||
          zarvik::CleanZipMemberName(name) != name)
        abort();
    }
  }
}

// The earlier clients' text of a journal without U lines: header, lines, then the commit line.
std::string EarlierText(const UpdateJournal& journal) {
  std::string text = zarvik::kJournalHeaderText;
  for (const std::wstring& name : journal.folders)
    text += "D\t" + zarvik::WideToUtf8(name) + "\n";
  for (const std::wstring& name : journal.added)
    text += "N\t" + zarvik::WideToUtf8(name) + "\n";
  for (const std::wstring& name : journal.replaced)
    text += "R\t" + zarvik::WideToUtf8(name) + "\n";
  return text;
}

void CheckCuts(const UpdateJournal& journal) {
  const std::string text = zarvik::FormatJournal(journal);
  UpdateJournal parsed;
  if (!Usable(text, &parsed) || !Same(parsed, journal))
    abort();
  // Every cut, and every cut whose tail the disk filled with zeros.
  for (size_t cut = 0; cut < text.size(); ++cut) {
    const std::string part = text.substr(0, cut);
    if (Usable(part, &parsed) || Usable(part + std::string(text.size() - cut, '\0'), &parsed))
      abort();
  }
  // Anything after the end line is not ours either.
  if (Usable(text + "N\tx\n", &parsed) || Usable(text + '\0', &parsed))
    abort();

  if (!journal.undone.empty())
    return;  // the earlier format has no U lines
  const std::string earlier = EarlierText(journal);
  UpdateJournal list = journal;
  list.committed = false;
  if (!Usable(earlier, &parsed) || !Same(parsed, list))
    abort();
  // Cut inside a name line: incomplete. At a line boundary the earlier format cannot tell.
  const size_t header = std::string(zarvik::kJournalHeaderText).size();
  for (size_t cut = header; cut < earlier.size(); ++cut) {
    if (earlier[cut - 1] != '\n' && Usable(earlier.substr(0, cut), &parsed))
      abort();
  }
  const std::string commit = "C\tcommitted\n";
  for (size_t cut = 0; cut <= commit.size(); ++cut) {
    UpdateJournal expected = list;
    expected.committed = cut == commit.size();
    if (!Usable(earlier + commit.substr(0, cut), &parsed) || !Same(parsed, expected))
      abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setlocale(LC_CTYPE, "C.UTF-8");  // the uppercase table of the file system shim
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  UpdateJournal journal;
  if ((data[0] & 1) == 0) {
    if (Usable(rest, &journal)) {
      CheckSafe(journal);
      UpdateJournal again;
      if (!Usable(zarvik::FormatJournal(journal), &again) || !Same(again, journal))
        abort();
    }
    return 0;
  }
  // Names separated by line breaks; the byte before each picks its kind.
  journal.committed = (data[0] & 2) != 0;
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = rest.find('\n', start);
    if (end == std::string::npos)
      end = rest.size();
    if (end > start) {
      const char kind = rest[start];
      const std::wstring name = zarvik::Utf8ToWide(rest.substr(start + 1, end - start - 1));
      // Only names the installer could have written; others make the journal refused.
      if (!name.empty() && name.size() <= 259 && !zarvik::ZipNameProblem(name) &&
          zarvik::CleanZipMemberName(name) == name) {
        switch (kind & 3) {
          case 0:
            journal.folders.push_back(name);
            break;
          case 1:
            journal.added.push_back(name);
            break;
          case 2:
            journal.replaced.push_back(name);
            break;
          default:
            journal.undone.push_back(name);
        }
      }
    }
    start = end + 1;
  }
  CheckCuts(journal);
  return 0;
}
