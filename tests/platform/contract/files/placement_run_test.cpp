// Runs of placements: the held files change nothing until the run places
// them, each then as a commit would, and no journal stays behind. A run
// stopped between its renames is finished at the next start as its journal
// says: a file meant only for an empty place never replaces the user's, and
// no journal leads a rename out of the program folder or through a link.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "portable/transfer/placement_journal.hpp"
#include "tests/platform/contract/files/file_system_suite.hpp"

namespace qor::test {
namespace {

class PlacementRuns : public FileSystemSuite {
 protected:
  // Holds a replacement of `path` holding `content` in `run`.
  void hold(PlacementRun& run, const std::string& path, const std::string& content, Placement placement) {
    auto file = files->replace_file(path);
    ASSERT_TRUE(file) << file.failure().reason;
    ASSERT_TRUE((*file)->write(content.data(), content.size()));
    const Status held = run.hold(std::move(*file), placement);
    ASSERT_TRUE(held) << held.failure().reason;
  }

  // A journal as a run writes it, and the temporary files it names.
  void leave_journal(const std::vector<JournalEntry>& entries) {
    const auto text = write_placement_journal(entries);
    ASSERT_TRUE(text) << text.failure().reason;
    write_file(dir / kPlacementJournalName, *text);
  }
};

TEST_F(PlacementRuns, PutsTheHeldFilesInPlaceInTheirOrderAndLeavesNoJournal) {
  write_file(dir / "app.exe", "old program");
  write_file(dir / "kunden.db3", "the user's data");
  ASSERT_TRUE(files->CreateFolder(dir / "sub"));
  const auto run = files->start_placement_run();
  hold(*run, dir.path() + "\\app.exe", "new program", Placement::Replace);
  hold(*run, dir.path() + "\\sub\\lib.dll", "library", Placement::OnlyIfAbsent);
  hold(*run, dir.path() + "\\kunden.db3", "empty data", Placement::OnlyIfAbsent);
  EXPECT_EQ(run->held(), 3u);
  EXPECT_EQ(read_file(dir / "app.exe"), "old program");  // nothing changes before the run places
  EXPECT_FALSE(files->FileExists(dir / "sub/lib.dll"));

  const auto placed = run->place_all();
  ASSERT_EQ(placed.size(), 3u);
  for (const auto& result : placed) ASSERT_TRUE(result) << result.failure().reason;
  EXPECT_EQ(*placed[0], Committed::Placed);
  EXPECT_EQ(*placed[1], Committed::Placed);
  EXPECT_EQ(*placed[2], Committed::PlaceTaken);
  EXPECT_EQ(run->held(), 0u);
  const Status settled = run->settle();
  ASSERT_TRUE(settled) << settled.failure().reason;

  EXPECT_EQ(read_file(dir / "app.exe"), "new program");
  EXPECT_EQ(read_file(dir / "sub/lib.dll"), "library");
  EXPECT_EQ(read_file(dir / "kunden.db3"), "the user's data");
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"app.exe", "kunden.db3", "sub"}));
  EXPECT_EQ(file_names(dir / "sub"), std::vector<std::string>{"lib.dll"});
}

// The state a run stopped after two of its four renames leaves: the first
// two temporary files are gone (placed), the others wait.
TEST_F(PlacementRuns, TheNextStartFinishesTheRenamesOfAStoppedRun) {
  ASSERT_TRUE(files->CreateFolder(dir / "sub"));
  write_file(dir / "done.dll", "new, placed before the stop");
  write_file(dir / "app.exe", "old program");
  write_file(dir / ".qor-download-a1b2c3", "new program");
  write_file(dir / "sub/.qor-download-d4e5f6", "new library");
  write_file(dir / "kunden.db3", "the user's data");
  write_file(dir / ".qor-download-g7h8i9", "empty data");
  leave_journal({{false, "", ".qor-download-000000", "done.dll"},
                 {false, "", ".qor-download-a1b2c3", "app.exe"},
                 {true, "sub", ".qor-download-d4e5f6", "lib.dll"},
                 {true, "", ".qor-download-g7h8i9", "kunden.db3"}});

  const Status finished = files->finish_interrupted_run();
  ASSERT_TRUE(finished) << finished.failure().reason;
  EXPECT_EQ(read_file(dir / "done.dll"), "new, placed before the stop");
  EXPECT_EQ(read_file(dir / "app.exe"), "new program");
  EXPECT_EQ(read_file(dir / "sub/lib.dll"), "new library");
  EXPECT_EQ(read_file(dir / "kunden.db3"), "the user's data");  // the place was taken: the new file goes
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"app.exe", "done.dll", "kunden.db3", "sub"}));
  EXPECT_EQ(file_names(dir / "sub"), std::vector<std::string>{"lib.dll"});
  EXPECT_TRUE(files->finish_interrupted_run());  // without a journal nothing happens
}

// A journal cut off or changed by hand is trusted in no entry, and goes.
TEST_F(PlacementRuns, AJournalNotWholeMovesNothing) {
  write_file(dir / "app.exe", "old program");
  write_file(dir / ".qor-download-a1b2c3", "new program");
  write_file(dir / kPlacementJournalName, "qor placement journal 1\nR\t\t.qor-download-a1b2c3\tapp.exe\n");

  const Status finished = files->finish_interrupted_run();
  ASSERT_FALSE(finished);
  EXPECT_TRUE(holds(finished.failure().reason, kPlacementJournalName)) << finished.failure().reason;
  EXPECT_EQ(read_file(dir / "app.exe"), "old program");
  EXPECT_FALSE(files->FileExists(dir / kPlacementJournalName));
}

// A folder of the journal that is a link by now leads nowhere: what lies
// where it leads stays as it is, and the other entries are still finished.
TEST_F(PlacementRuns, TheJournalNeverLeadsThroughALink) {
  write_file(elsewhere / "app.exe", "outside");
  write_file(elsewhere / ".qor-download-a1b2c3", "new program");
  link(dir / "linked", elsewhere.path());
  write_file(dir / ".qor-download-d4e5f6", "new library");
  leave_journal({{false, "linked", ".qor-download-a1b2c3", "app.exe"}, {false, "", ".qor-download-d4e5f6", "lib.dll"}});

  const Status finished = files->finish_interrupted_run();
  ASSERT_FALSE(finished);
  EXPECT_EQ(finished.failure().code, failure_codes().link_in_the_way) << finished.failure().reason;
  EXPECT_EQ(read_file(elsewhere / "app.exe"), "outside");
  EXPECT_EQ(read_file(elsewhere / ".qor-download-a1b2c3"), "new program");
  EXPECT_EQ(read_file(dir / "lib.dll"), "new library");
  EXPECT_FALSE(files->FileExists(dir / kPlacementJournalName));
}

}  // namespace
}  // namespace qor::test
