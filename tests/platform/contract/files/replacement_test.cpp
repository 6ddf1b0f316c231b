// Replacing and creating files through the file-system object: the old file
// stays whole until the new one is committed, a given-up download leaves no
// trace, what may not be replaced is refused with the reason, and an
// exclusive commit never replaces what appeared meanwhile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/contract/files/file_system_suite.hpp"

namespace qor::test {
namespace {

using Replacement = FileSystemSuite;

TEST_F(Replacement, CreatesOrReplacesOnlyOnCommit) {
  write_file(dir / "old.exe", "old");
  write_file(dir / "written.txt", "by the test");  // a file as the system makes it here
  auto replacing = files->replace_file(dir.path() + "\\old.exe");
  auto creating = files->replace_file(dir.path() + "\\new.dll");
  ASSERT_TRUE(replacing) << replacing.failure().reason;
  ASSERT_TRUE(creating) << creating.failure().reason;
  ASSERT_TRUE((*replacing)->write("new ", 4));
  ASSERT_TRUE((*creating)->write("library", 7));
  EXPECT_EQ(read_file(dir / "old.exe"), "old");  // nothing changes before commit
  EXPECT_FALSE(files->FileExists(dir / "new.dll"));
  ASSERT_TRUE((*replacing)->write("program", 7));

  const auto replaced = (*replacing)->commit(Placement::Replace);
  ASSERT_TRUE(replaced) << replaced.failure().reason;
  EXPECT_EQ(*replaced, Committed::Placed);
  ASSERT_TRUE((*creating)->commit(Placement::Replace));
  EXPECT_EQ(read_file(dir / "old.exe"), "new program");
  EXPECT_EQ(read_file(dir / "new.dll"), "library");
  EXPECT_EQ(protection_of(dir / "new.dll"), protection_of(dir / "written.txt"));
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"new.dll", "old.exe", "written.txt"}));
}

// The protection of the file replaced carries over (less what would let the
// new file run with its owner's rights).
TEST_F(Replacement, TheNewFileKeepsTheProtectionOfTheFileItReplaces) {
  for (const auto& [before, after] : replaced_protections()) {
    SCOPED_TRACE(before);
    write_file(dir / "tool.exe", "old");
    protect(dir / "tool.exe", before);
    ASSERT_TRUE(place(dir / "tool.exe", "new"));
    EXPECT_EQ(read_file(dir / "tool.exe"), "new");
    EXPECT_EQ(protection_of(dir / "tool.exe"), after);
  }
}

// A replacing commit puts the file in place of the one there, in that
// one's spelling.
TEST_F(Replacement, AReplacingCommitKeepsTheSpellingOfTheFileItReplaces) {
  write_file(dir / "Kunden.DB3", "old");
  const auto committed = place(dir / "kunden.db3", "new");
  ASSERT_TRUE(committed) << committed.failure().reason;
  EXPECT_EQ(*committed, Committed::Placed);
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"Kunden.DB3"});
  EXPECT_EQ(read_file(dir / "Kunden.DB3"), "new");
}

// A download on its way lies beside its target under a name of the form a
// killed run would leave (".qor-download-" and six letters or digits),
// until it is committed or given up; given up, the old file is as it was.
// Started over, only the second attempt counts.
TEST_F(Replacement, AReplacementGivenUpOrStartedOverLeavesNoTrace) {
  write_file(dir / "data.db3", "the old database");
  {
    auto given_up = files->replace_file(dir / "data.db3");
    ASSERT_TRUE(given_up) << given_up.failure().reason;
    ASSERT_TRUE((*given_up)->write("half of the new", 15));
    const auto names = file_names(dir.path());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].size(), 20u) << names[0];
    EXPECT_EQ(names[0].rfind(".qor-download-", 0), 0u) << names[0];
  }
  EXPECT_EQ(read_file(dir / "data.db3"), "the old database");
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"data.db3"});

  auto again = files->replace_file(dir / "data.db3");
  ASSERT_TRUE(again);
  ASSERT_TRUE((*again)->write("first attempt, longer", 21));
  ASSERT_TRUE((*again)->rewind());
  ASSERT_TRUE((*again)->write("second", 6));
  ASSERT_TRUE((*again)->commit(Placement::Replace));
  EXPECT_EQ(read_file(dir / "data.db3"), "second");
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"data.db3"});
}

TEST_F(Replacement, RefusesWithTheReason) {
  write_file(dir / "protected.dll", "protected");
  protect(dir / "protected.dll", read_only_protections().front());
  ASSERT_TRUE(files->CreateFolder(dir / "folder.dll"));
  struct Case {
    std::string path, reason;
    long code;
  };
  const FailureCodes& codes = failure_codes();
  for (const Case& c : {Case{dir / "protected.dll", "write-protected", codes.write_protected},
                        Case{dir / "folder.dll", "not a regular file", 0},
                        Case{dir / "missing/new.dll", system_words(codes.folder_not_found), codes.folder_not_found}}) {
    SCOPED_TRACE(c.path);
    const auto refused = files->replace_file(c.path);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(holds(refused.failure().reason, c.path));
    EXPECT_TRUE(holds(refused.failure().reason, c.reason));
    EXPECT_EQ(refused.failure().code, c.code);
  }
  EXPECT_EQ(read_file(dir / "protected.dll"), "protected");
  EXPECT_EQ(protection_of(dir / "protected.dll"), read_only_protections().front());
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"folder.dll", "protected.dll"}));
}

// The user's database put in place while the download ran, in another
// letter case, or a link put there: an exclusive commit keeps each of them
// and drops the download without a trace. Only an empty place is filled.
TEST_F(Replacement, AnExclusiveCommitNeverReplacesWhatAppearedMeanwhile) {
  write_file(elsewhere / "outside", "elsewhere");
  struct Case {
    std::string target, appears;
    bool link;
  };
  for (const Case& c : {Case{"qor_buch.db3", "qor_buch.db3", false}, Case{"qor_data_1.db3", "QOR_Data_1.DB3", false},
                        Case{"kunden.db3", "kunden.db3", true}}) {
    SCOPED_TRACE(c.appears);
    auto target = files->replace_file(dir / c.target);
    ASSERT_TRUE(target) << target.failure().reason;
    ASSERT_TRUE((*target)->write("the server's", 12));
    if (c.link) {
      link(dir / c.appears, elsewhere / "outside");
    } else {
      write_file(dir / c.appears, "the user's");
    }
    const auto committed = (*target)->commit(Placement::OnlyIfAbsent);
    ASSERT_TRUE(committed) << committed.failure().reason;
    EXPECT_EQ(*committed, Committed::PlaceTaken);
    EXPECT_EQ(read_file(dir / c.appears), c.link ? "elsewhere" : "the user's");
  }
  EXPECT_TRUE(is_link(dir / "kunden.db3"));
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"QOR_Data_1.DB3", "kunden.db3", "qor_buch.db3"}));

  const auto placed = place(dir / "new.db3", "new", Placement::OnlyIfAbsent);
  ASSERT_TRUE(placed) << placed.failure().reason;
  EXPECT_EQ(*placed, Committed::Placed);
  EXPECT_EQ(read_file(dir / "new.db3"), "new");
  EXPECT_EQ(file_names(dir.path()),
            (std::vector<std::string>{"QOR_Data_1.DB3", "kunden.db3", "new.db3", "qor_buch.db3"}));
  EXPECT_EQ(file_names(elsewhere.path()), std::vector<std::string>{"outside"});
}

// A link put where a replacing download goes stays a link, and what it
// names stays as it was.
TEST_F(Replacement, AReplacingCommitLeavesALinkPutInTheWay) {
  write_file(elsewhere / "outside", "elsewhere");
  write_file(dir / "a.dll", "old");
  auto target = files->replace_file(dir / "a.dll");
  ASSERT_TRUE(target) << target.failure().reason;
  ASSERT_TRUE((*target)->write("new", 3));
  std::filesystem::remove(native(dir / "a.dll"));
  link(dir / "a.dll", elsewhere / "outside");
  const auto committed = (*target)->commit(Placement::Replace);
  if (!links_to_files_show()) {
    // The commit cannot see the link as one and puts the file in its place:
    // the link goes, what it names stays.
    EXPECT_TRUE(committed);
    EXPECT_EQ(read_file(elsewhere / "outside"), "elsewhere");
    EXPECT_EQ(read_file(dir / "a.dll"), "new");
    return;
  }
  ASSERT_FALSE(committed);
  EXPECT_TRUE(holds(committed.failure().reason, "is in the way"));
  EXPECT_EQ(committed.failure().code, failure_codes().link_in_the_way);
  EXPECT_TRUE(is_link(dir / "a.dll"));
  EXPECT_EQ(read_file(elsewhere / "outside"), "elsewhere");
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"a.dll"});
}

// A download is held to the room on the disk it goes to, so the file it
// goes into must say what that is.
TEST_F(Replacement, TellsTheSpaceOfTheTargetsDisk) {
  auto target = files->replace_file(dir / "paket.dll");
  ASSERT_TRUE(target) << target.failure().reason;
  const auto disk = (*target)->disk_space();
  ASSERT_TRUE(disk);
  EXPECT_GT(disk->total, 0u);
  EXPECT_GT(disk->available, 0u);
  EXPECT_LE(disk->available, disk->total);
}

}  // namespace
}  // namespace qor::test
