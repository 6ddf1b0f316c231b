// The placement journal is read back exactly as written, and a journal that
// is not whole, or names a place outside the program folder or a file that
// is not a download's temporary file, is refused as a whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "portable/transfer/placement_journal.hpp"

namespace qor {
namespace {

bool same(const JournalEntry& a, const JournalEntry& b) {
  return a.only_if_absent == b.only_if_absent && a.folder == b.folder && a.temporary == b.temporary &&
         a.target == b.target;
}

TEST(PlacementJournal, ReadsBackWhatWasWrittenNamesWithSpacesAndUmlautsIncluded) {
  const std::vector<JournalEntry> entries = {{false, "", ".qor-download-a1B2c3", "QOR_software.exe"},
                                             {true, "SQLite3", ".qor-download-zzzzzz", "qor_buch.db3"},
                                             {false, "Bilder/Große Bilder", ".qor-download-000000", "Übersicht 1.jpg"}};
  const auto text = write_placement_journal(entries);
  ASSERT_TRUE(text) << text.failure().reason;
  const auto read = read_placement_journal(*text);
  ASSERT_TRUE(read) << read.failure().reason;
  ASSERT_EQ(read->size(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) EXPECT_TRUE(same((*read)[i], entries[i])) << i;

  const auto empty = read_placement_journal(*write_placement_journal({}));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
}

TEST(PlacementJournal, APlaceItCouldNotReadBackIsNotWritten) {
  for (const JournalEntry& entry : std::vector<JournalEntry>{{false, "", ".qor-download-aaaaaa", "a\tb.dll"},
                                                             {false, "", ".qor-download-aaaaaa", "a\nb.dll"},
                                                             {false, "", ".qor-download-aaaaaa", "sub/a.dll"},
                                                             {false, "", ".qor-download-aaaaaa", ".."},
                                                             {false, "a/../..", ".qor-download-aaaaaa", "a.dll"},
                                                             {false, "/etc", ".qor-download-aaaaaa", "a.dll"},
                                                             {false, "a\\b", ".qor-download-aaaaaa", "a.dll"},
                                                             {false, "", "a.dll", "b.dll"}}) {
    SCOPED_TRACE(entry.folder + "|" + entry.temporary + "|" + entry.target);
    EXPECT_FALSE(write_placement_journal({entry}));
  }
}

TEST(PlacementJournal, AJournalNotWholeOrOfAnotherFormIsRefusedAsAWhole) {
  const std::string good = *write_placement_journal({{false, "", ".qor-download-aaaaaa", "a.dll"}});
  EXPECT_TRUE(read_placement_journal(good));
  for (const std::string& text : std::vector<std::string>{
           std::string(), good.substr(0, good.size() - 1), good.substr(0, good.size() - 4),
           "qor placement journal 2\nend\n", "qor placement journal 1\nX\t\t.qor-download-aaaaaa\ta.dll\nend\n",
           "qor placement journal 1\nR\t\t.qor-download-aaaaaa\ta.dll\textra\nend\n",
           "qor placement journal 1\nR\t\t.qor-download-aaaaaa\t\nend\n",
           "qor placement journal 1\nR\t..\t.qor-download-aaaaaa\ta.dll\nend\n",
           "qor placement journal 1\nR\t\t../.qor-download-aaaaaa\ta.dll\nend\n",
           "qor placement journal 1\r\nend\r\n"}) {
    SCOPED_TRACE(text);
    const auto read = read_placement_journal(text);
    ASSERT_FALSE(read);
    EXPECT_NE(read.failure().reason.find("placement journal"), std::string::npos);
  }
}

}  // namespace
}  // namespace qor
