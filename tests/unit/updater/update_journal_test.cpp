#include "updater/update_journal.h"

#include <gtest/gtest.h>

#include <string>

using zarvik::JournalText;
using zarvik::UpdateJournal;

namespace {

JournalText Parse(const std::string& text, UpdateJournal* journal = nullptr) {
  UpdateJournal ignored;
  std::string problem;
  return zarvik::ParseJournal(text, journal ? journal : &ignored, &problem);
}

UpdateJournal Plan() {
  UpdateJournal journal;
  journal.folders = {L"skin\\sub"};
  journal.added = {L"skin\\sub\\b.png", L"\u00e9t\u00e9.txt"};
  journal.replaced = {L"zarvik.exe", L"skin\\a.png"};
  return journal;
}

TEST(UpdateJournal, WritingThatNeverFinishedIsIncomplete) {
  const std::string earlier = zarvik::kJournalHeaderText;
  const std::string current = zarvik::kJournalHeader2Text;
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"cut in the header", "zarvik upd"},
      {"earlier, cut name of a new file", earlier + "N\tskin\\new.png\nN\tskin"},
      {"earlier, cut name of a replaced file", earlier + "R\tduilib.dll\nR\tskin\\ma"},
      {"earlier, zero-filled tail", earlier + "R\tduilib.dll\n" + std::string(12, '\0')},
      {"current, no end line", current + "R\tduilib.dll\n"},
      {"current, cut end line", current + "R\tduilib.dll\nE\ten"},
      {"current, cut name", current + "R\tduilib.d"},
      {"current, zero-filled tail", current + "R\tduilib.dll\n" + std::string(6, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UpdateJournal journal;
    EXPECT_EQ(Parse(c.text, &journal), JournalText::kIncomplete);
    EXPECT_TRUE(journal.replaced.empty() && journal.added.empty());
  }
}

TEST(UpdateJournal, NoCutOfAWholeJournalIsUsable) {
  for (bool committed : {false, true}) {
    UpdateJournal plan = Plan();
    plan.committed = committed;
    plan.undone = {L"duilib.dll"};
    const std::string text = zarvik::FormatJournal(plan);
    UpdateJournal parsed;
    ASSERT_EQ(Parse(text, &parsed), JournalText::kUsable) << text;
    EXPECT_EQ(parsed.folders, plan.folders);
    EXPECT_EQ(parsed.added, plan.added);
    EXPECT_EQ(parsed.replaced, plan.replaced);
    EXPECT_EQ(parsed.undone, plan.undone);
    EXPECT_EQ(parsed.committed, committed);
    for (size_t cut = 0; cut < text.size(); ++cut) {
      SCOPED_TRACE(text.substr(0, cut));
      EXPECT_NE(Parse(text.substr(0, cut)), JournalText::kUsable);
      EXPECT_NE(Parse(text.substr(0, cut) + std::string(text.size() - cut, '\0')),
                JournalText::kUsable);
    }
    EXPECT_NE(Parse(text + "N\tx.txt\n"), JournalText::kUsable);
  }
}

TEST(UpdateJournal, EarlierClientsJournalsAreStillRead) {
  const std::string list = std::string(zarvik::kJournalHeaderText) +
                           "D\tskin\\sub\nN\tskin\\sub\\b.png\nR\tzarvik.exe\nR\tskin\\a.png\n";
  struct Case {
    const char* what;
    std::string text;
    JournalText kind;
    bool committed;
  } cases[] = {
      {"uncommitted", list, JournalText::kUsable, false},
      {"committed", list + "C\tcommitted\n", JournalText::kUsable, true},
      // The commit was appended after every file was in place: the list is whole.
      {"commit line cut", list + "C\tcommi", JournalText::kUsable, false},
      {"commit line without its line break", list + "C\tcommitted", JournalText::kUsable, false},
      {"a U line (not in that format)", list + "U\tzarvik.exe\n", JournalText::kRefused, false},
      {"unsafe name", list + "R\t..\\outside.dll\n", JournalText::kRefused, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UpdateJournal journal;
    ASSERT_EQ(Parse(c.text, &journal), c.kind);
    if (c.kind != JournalText::kUsable)
      continue;
    EXPECT_EQ(journal.committed, c.committed);
    EXPECT_EQ(journal.folders, std::vector<std::wstring>{L"skin\\sub"});
    EXPECT_EQ(journal.added, std::vector<std::wstring>{L"skin\\sub\\b.png"});
    EXPECT_EQ(journal.replaced, (std::vector<std::wstring>{L"zarvik.exe", L"skin\\a.png"}));
  }
}

TEST(UpdateJournal, WholeJournalsNamingUnsafePathsAreRefused) {
  const std::string current = zarvik::kJournalHeader2Text;
  const std::string end = zarvik::kJournalEndLine;
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"climbing", current + "R\t..\\outside\\zarvik.exe\n" + end},
      {"absolute", current + "N\t\\Windows\\x.dll\n" + end},
      {"a backup's name", current + "R\tduilib.dll.old\n" + end},
      {"short-name alias", current + "U\tUPDATE~1.JOU\n" + end},
      {"unknown line", current + "X\tkeep.txt\n" + end},
      {"empty line", current + "\n" + end},
      {"not a journal", "R\tkeep.txt\n" + end},
      {"too large", current + std::string(zarvik::kMaxJournalBytes, 'N') + end},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Parse(c.text), JournalText::kRefused);
  }
}

}  // namespace
