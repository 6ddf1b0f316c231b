// Replacing a file on Windows: the old file stays whole until the new one
// is complete, a protected or busy file is left alone, and nothing but the
// file itself remains.
#include <gtest/gtest.h>

#include "platform/file_system.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

using test::file_names;
using test::read_file;
using test::TempDir;
using test::write_file;

DWORD attributes_of(const std::string& path) { return GetFileAttributesW(win32::to_wide(path).c_str()); }

TEST(ReplacementFile, OldFileStaysWholeUntilTheNewOneIsCommitted) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "paket.dll", "old content");
  auto replacement = fs->replace_file(dir / "paket.dll");
  ASSERT_TRUE(replacement) << replacement.failure().reason;
  ASSERT_TRUE((*replacement)->write("new ", 4));
  EXPECT_EQ(read_file(dir / "paket.dll"), "old content");
  ASSERT_TRUE((*replacement)->write("content", 7));
  ASSERT_TRUE((*replacement)->commit(Placement::Replace));
  EXPECT_EQ(read_file(dir / "paket.dll"), "new content");
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"paket.dll"});
}

// A download is held to the room on the disk it goes to, so the file it
// goes into must say what that is.
TEST(ReplacementFile, TellsTheSpaceOfTheTargetsDisk) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  auto replacement = fs->replace_file(dir / "paket.dll");
  ASSERT_TRUE(replacement) << replacement.failure().reason;
  const auto disk = (*replacement)->disk_space();
  ASSERT_TRUE(disk);
  EXPECT_GT(disk->total, 0u);
  EXPECT_GT(disk->available, 0u);
  EXPECT_LE(disk->available, disk->total);
}

TEST(ReplacementFile, CreatesANewFileAndStartsOverOnRewind) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  auto replacement = fs->replace_file(dir / "neu.txt");
  ASSERT_TRUE(replacement) << replacement.failure().reason;
  ASSERT_TRUE((*replacement)->write("a broken first attempt", 22));
  ASSERT_TRUE((*replacement)->rewind());
  ASSERT_TRUE((*replacement)->write("whole", 5));
  ASSERT_TRUE((*replacement)->commit(Placement::Replace));
  EXPECT_EQ(read_file(dir / "neu.txt"), "whole");
}

TEST(ReplacementFile, DroppedUncommittedLeavesTheOldFileAndNoTrace) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "paket.dll", "old content");
  {
    auto replacement = fs->replace_file(dir / "paket.dll");
    ASSERT_TRUE(replacement);
    ASSERT_TRUE((*replacement)->write("half", 4));
  }
  EXPECT_EQ(read_file(dir / "paket.dll"), "old content");
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"paket.dll"});
}

TEST(ReplacementFile, WriteProtectedMissingFolderAndFolderTargetsAreRefused) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "geschuetzt.db3", "keep me");
  ASSERT_TRUE(SetFileAttributesW(win32::to_wide(dir / "geschuetzt.db3").c_str(), FILE_ATTRIBUTE_READONLY));
  const auto protected_file = fs->replace_file(dir / "geschuetzt.db3");
  ASSERT_FALSE(protected_file);
  EXPECT_EQ(protected_file.failure().code, ERROR_ACCESS_DENIED);
  EXPECT_NE(protected_file.failure().reason.find("write-protected"), std::string::npos);
  EXPECT_EQ(read_file(dir / "geschuetzt.db3"), "keep me");
  EXPECT_NE(attributes_of(dir / "geschuetzt.db3") & FILE_ATTRIBUTE_READONLY, 0u);

  const auto no_folder = fs->replace_file(dir / "fehlt\\a.dll");
  ASSERT_FALSE(no_folder);
  EXPECT_EQ(no_folder.failure().code, ERROR_PATH_NOT_FOUND);

  ASSERT_TRUE(fs->CreateFolder(dir / "ordner"));
  EXPECT_FALSE(fs->replace_file(dir / "ordner"));
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"geschuetzt.db3", "ordner"}));
}

// Another program has the file open (a database in use): the commit fails
// at once, names the file, and the old file is left whole.
TEST(ReplacementFile, FileInUseFailsOnceNamingItAndStaysWhole) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "kunden.db3", "in use");
  auto replacement = fs->replace_file(dir / "kunden.db3");
  ASSERT_TRUE(replacement);
  ASSERT_TRUE((*replacement)->write("new", 3));
  {
    const win32::UniqueHandle user(CreateFileW(win32::to_wide(dir / "kunden.db3").c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(user);
    const auto committed = (*replacement)->commit(Placement::Replace);
    ASSERT_FALSE(committed);
    EXPECT_TRUE(committed.failure().code == ERROR_SHARING_VIOLATION || committed.failure().code == ERROR_ACCESS_DENIED)
        << committed.failure().reason;
    EXPECT_NE(committed.failure().reason.find(local_path(dir / "kunden.db3")), std::string::npos)
        << committed.failure().reason;
  }
  EXPECT_EQ(read_file(dir / "kunden.db3"), "in use");
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"kunden.db3"});
}

TEST(ReplacementFile, KeepsTheHiddenAndSystemAttributesOfTheFileItReplaces) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "versteckt.ini", "old");
  ASSERT_TRUE(
      SetFileAttributesW(win32::to_wide(dir / "versteckt.ini").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  auto replacement = fs->replace_file(dir / "versteckt.ini");
  ASSERT_TRUE(replacement) << replacement.failure().reason;
  ASSERT_TRUE((*replacement)->write("new", 3));
  ASSERT_TRUE((*replacement)->commit(Placement::Replace));
  EXPECT_EQ(read_file(dir / "versteckt.ini"), "new");
  EXPECT_EQ(attributes_of(dir / "versteckt.ini") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

// The user's database put in place while the download ran, also in another
// letter case: an exclusive commit keeps it and drops the download without
// a trace. Only an empty place is filled.
TEST(ReplacementFile, AnExclusiveCommitNeverReplacesWhatAppearedMeanwhile) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  for (const auto& [target, appears] :
       {std::pair{"qor_buch.db3", "qor_buch.db3"}, std::pair{"qor_data_1.db3", "QOR_Data_1.DB3"}}) {
    SCOPED_TRACE(appears);
    auto replacement = fs->replace_file(dir / target);
    ASSERT_TRUE(replacement) << replacement.failure().reason;
    ASSERT_TRUE((*replacement)->write("the server's", 12));
    write_file(dir / appears, "the user's");
    const auto committed = (*replacement)->commit(Placement::OnlyIfAbsent);
    ASSERT_TRUE(committed) << committed.failure().reason;
    EXPECT_EQ(*committed, Committed::PlaceTaken);
    EXPECT_EQ(read_file(dir / appears), "the user's");
  }
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"QOR_Data_1.DB3", "qor_buch.db3"}));

  auto fresh = fs->replace_file(dir / "new.db3");
  ASSERT_TRUE(fresh);
  ASSERT_TRUE((*fresh)->write("new", 3));
  const auto placed = (*fresh)->commit(Placement::OnlyIfAbsent);
  ASSERT_TRUE(placed) << placed.failure().reason;
  EXPECT_EQ(*placed, Committed::Placed);
  EXPECT_EQ(read_file(dir / "new.db3"), "new");
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"QOR_Data_1.DB3", "new.db3", "qor_buch.db3"}));
}

// A replacing commit puts the file in place of the one there, in that
// one's spelling.
TEST(ReplacementFile, AReplacingCommitKeepsTheSpellingOfTheFileItReplaces) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "Kunden.DB3", "old");
  auto replacement = fs->replace_file(dir / "kunden.db3");
  ASSERT_TRUE(replacement) << replacement.failure().reason;
  ASSERT_TRUE((*replacement)->write("new", 3));
  const auto committed = (*replacement)->commit(Placement::Replace);
  ASSERT_TRUE(committed) << committed.failure().reason;
  EXPECT_EQ(*committed, Committed::Placed);
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"Kunden.DB3"});
  EXPECT_EQ(read_file(dir / "Kunden.DB3"), "new");
}

}  // namespace
}  // namespace qor
