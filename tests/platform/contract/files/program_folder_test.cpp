// The file-system object bound to its program folder: no link below the
// folder is followed (a link to a file elsewhere, one to a folder
// elsewhere, one to a file inside), writes outside the folder are refused,
// the folder itself may be reached through a link, the program to start is
// a regular file inside, and the leftovers of a killed run go while nothing
// else does.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/platform/contract/files/file_system_suite.hpp"

namespace qor::test {
namespace {

using ProgramFolder = FileSystemSuite;

// Each link is reported with its path and stays as it was, and so does
// what it names.
TEST_F(ProgramFolder, NoWriteFollowsALinkBelowTheFolder) {
  write_file(elsewhere / "file", "the other owner's");
  const FileTimes times_before = times_of(elsewhere / "file");
  const Protection protection_before = protection_of(elsewhere / "file");
  link(dir / "victim.dll", elsewhere / "file");
  link(dir / "Daten", elsewhere.path());
  ASSERT_TRUE(files->CreateFolder(dir / "real"));
  write_file(dir / "real/app.exe", "inside");
  link(dir / "app.exe", dir / "real/app.exe");

  const long in_the_way = failure_codes().link_in_the_way;
  for (const std::string& path :
       {dir / "victim.dll", dir / "Daten/new.dll", dir / "Daten\\sub\\new.dll", dir / "app.exe"}) {
    SCOPED_TRACE(path);
    const auto replacing = files->replace_file(path);
    ASSERT_FALSE(replacing);
    EXPECT_TRUE(holds(replacing.failure().reason, "is in the way"));
    EXPECT_TRUE(holds(replacing.failure().reason, local_path(path)));
    EXPECT_EQ(replacing.failure().code, in_the_way);
    EXPECT_FALSE(files->FileExists(path));
  }
  EXPECT_FALSE(files->CreateFolder(dir / "Daten/sub"));
  EXPECT_FALSE(files->CreateFolder(dir / "Daten"));
  EXPECT_FALSE(files->FolderExists(dir / "Daten"));
  EXPECT_FALSE(files->set_last_write_time(dir / "victim.dll", FILETIME{0, 30000000}));
  EXPECT_FALSE(files->set_last_write_time(dir / "Daten/file", FILETIME{0, 30000000}));
  EXPECT_FALSE(files->make_startable(dir / "victim.dll"));
  EXPECT_FALSE(files->DateLastModified(dir / "victim.dll"));
  EXPECT_EQ(files->GetFileVersion(dir / "Daten/file"), "");
  const auto start = files->regular_file_inside(dir / "app.exe");
  ASSERT_FALSE(start);
  EXPECT_TRUE(holds(start.failure().reason, "is in the way"));
  EXPECT_EQ(start.failure().code, in_the_way);

  EXPECT_EQ(read_file(elsewhere / "file"), "the other owner's");
  EXPECT_EQ(times_of(elsewhere / "file").write, times_before.write);
  EXPECT_EQ(protection_of(elsewhere / "file"), protection_before);
  EXPECT_EQ(file_names(elsewhere.path()), std::vector<std::string>{"file"});
  EXPECT_EQ(read_file(dir / "real/app.exe"), "inside");
  EXPECT_TRUE(is_link(dir / "victim.dll"));
  EXPECT_TRUE(is_link(dir / "Daten"));
  EXPECT_TRUE(is_link(dir / "app.exe"));
  EXPECT_FALSE(is_link(dir / "real/app.exe"));
  EXPECT_FALSE(is_link(dir / "real"));
  EXPECT_EQ(read_file(dir / "victim.dll"), "the other owner's");
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"Daten", "app.exe", "real", "victim.dll"}));
}

// The folder itself may be reached through a link; writes outside it are
// refused with the reason, reads of paths outside see the disk.
TEST_F(ProgramFolder, TheFolderMayBeALinkAndWritesOutsideItAreRefused) {
  link(elsewhere / "program", dir.path());
  const auto through = make_local_file_system(elsewhere / "program");
  auto target = through->replace_file(elsewhere / "program/new.dll");
  ASSERT_TRUE(target) << target.failure().reason;
  ASSERT_TRUE((*target)->write("new", 3));
  ASSERT_TRUE((*target)->commit(Placement::Replace));
  EXPECT_EQ(read_file(dir / "new.dll"), "new");
  EXPECT_TRUE(through->FileExists(elsewhere / "program/NEW.DLL"));

  write_file(elsewhere / "outside.dll", "kept");
  const auto outside = through->replace_file(elsewhere / "outside.dll");
  ASSERT_FALSE(outside);
  EXPECT_TRUE(holds(outside.failure().reason, "outside the program folder"));
  EXPECT_EQ(outside.failure().code, failure_codes().outside);
  EXPECT_FALSE(through->CreateFolder(elsewhere / "made"));
  EXPECT_FALSE(through->set_last_write_time(elsewhere / "outside.dll", FILETIME{0, 30000000}));
  EXPECT_FALSE(through->make_startable(elsewhere / "outside.dll"));
  EXPECT_FALSE(through->make_startable(dir / "../outside.dll"));
  EXPECT_FALSE(through->regular_file_inside(elsewhere / "outside.dll"));
  EXPECT_FALSE(through->replace_file(elsewhere / "program/../outside.dll"));
  EXPECT_TRUE(through->FileExists(elsewhere / "outside.dll"));
  EXPECT_EQ(file_names(elsewhere.path()), (std::vector<std::string>{"outside.dll", "program"}));
  EXPECT_EQ(read_file(elsewhere / "outside.dll"), "kept");
}

// The program to start, as it stands on disk; nothing else is one.
TEST_F(ProgramFolder, TheProgramToStartIsARegularFileInsideInItsOwnSpelling) {
  ASSERT_TRUE(files->CreateFolder(dir / "Bin"));
  write_file(dir / "Bin/QOR_Software.exe", "MZ");
  const auto found = files->regular_file_inside(dir.path() + "\\bin\\qor_software.EXE");
  ASSERT_TRUE(found) << found.failure().reason;
  EXPECT_EQ(*found, local_path(dir / "Bin/QOR_Software.exe"));
  for (const std::string& path : {dir / "Bin", dir / "missing.exe", dir.path()}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(files->regular_file_inside(path));
  }
  const auto missing = files->regular_file_inside(dir / "missing.exe");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().code, failure_codes().file_not_found);
  EXPECT_TRUE(holds(missing.failure().reason, dir / "missing.exe"));
}

// What a signed release checks is read from the file inside the folder
// itself: whole, in any letter case, never through a link, never from
// outside, and never past the size the release names.
TEST_F(ProgramFolder, ReadsOnlyARegularFileInsideAndNoMoreThanItsCap) {
  struct Collected : ByteSink {
    Status write(const char* data, std::size_t size) override {
      bytes.append(data, size);
      return {};
    }
    Status rewind() override {
      bytes.clear();
      return {};
    }
    std::string bytes;
  };
  std::string content(200'000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 % 251);
  ASSERT_TRUE(files->CreateFolder(dir / "Bin"));
  write_file(dir / "Bin/QOR_Software.exe", content);
  {
    Collected read;
    const Status whole = files->read_file(dir.path() + "\\bin\\qor_software.EXE", read, content.size());
    ASSERT_TRUE(whole) << whole.failure().reason;
    EXPECT_EQ(read.bytes, content);
  }
  {
    Collected read;
    const Status larger = files->read_file(dir / "Bin/QOR_Software.exe", read, content.size() - 1);
    ASSERT_FALSE(larger);
    EXPECT_TRUE(holds(larger.failure().reason, "larger than"));
    EXPECT_EQ(read.bytes, "");
  }
  write_file(elsewhere / "other.exe", "elsewhere");
  link(dir / "linked.exe", elsewhere / "other.exe");
  for (const std::string& path : {dir / "linked.exe", elsewhere / "other.exe", dir / "Bin", dir / "missing.exe"}) {
    SCOPED_TRACE(path);
    Collected read;
    EXPECT_FALSE(files->read_file(path, read, 1'000'000));
    EXPECT_EQ(read.bytes, "");
  }
  Collected read;
  const Status missing = files->read_file(dir / "missing.exe", read, 100);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().code, failure_codes().file_not_found);
}

// Whatever the platform needs to start a program, make_startable gives it
// and nothing more; what is missing or no file is refused.
TEST_F(ProgramFolder, MakeStartableGivesWhatStartingNeeds) {
  for (const auto& [before, after] : startable_protections()) {
    SCOPED_TRACE(before);
    write_file(dir / "app", "#!/bin/sh\n");
    protect(dir / "app", before);
    EXPECT_TRUE(files->make_startable(dir.path() + "\\app"));
    EXPECT_EQ(protection_of(dir / "app"), after);
  }
  const Status missing = files->make_startable(dir / "missing");
  ASSERT_FALSE(missing);
  EXPECT_TRUE(holds(missing.failure().reason, dir / "missing"));
#ifndef _WIN32
  // On Windows there is nothing to give, and the program folder itself is
  // accepted as any entry inside it; elsewhere it is no program.
  EXPECT_FALSE(files->make_startable(dir.path()));
#endif
}

// The temporary files of a killed run go, and nothing else: not a file of
// another name, a folder or a link so named, nor what a link leads to.
TEST_F(ProgramFolder, RemovesOnlyTheLeftoversOfDownloads) {
  write_file(elsewhere / ".qor-download-Zz0000", "outside");
  ASSERT_TRUE(files->CreateFolder(dir / "a"));
  ASSERT_TRUE(files->CreateFolder(dir / "a/b"));
  write_file(dir / ".qor-download-AbC123", "half");
  write_file(dir / "a/b/.qor-download-000000", "half");
  write_file(dir / "a/.qor-download-AbC12", "short");
  write_file(dir / "a/.qor-download-AbC12-", "odd");
  write_file(dir / "a/.qor-download-AbC12\xC3\xA4", "not ASCII");
  ASSERT_TRUE(files->CreateFolder(dir / "a/.qor-download-Folder"));
  // Also where a link to a file shows as the file itself (Wine): the link
  // stays, and so does the file it names outside the folder.
  link(dir / "a/.qor-download-L1nk00", elsewhere / ".qor-download-Zz0000");
  link(dir / "linked", elsewhere.path());
  ASSERT_TRUE(files->remove_download_leftovers());
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"a", "linked"}));
  std::vector<std::string> kept{".qor-download-AbC12", ".qor-download-AbC12-", ".qor-download-AbC12\xC3\xA4",
                                ".qor-download-Folder", "b"};
  kept.insert(kept.end() - 1, ".qor-download-L1nk00");
  EXPECT_EQ(file_names(dir / "a"), kept);
  EXPECT_TRUE(file_names(dir / "a/b").empty());
  EXPECT_EQ(file_names(elsewhere.path()), std::vector<std::string>{".qor-download-Zz0000"});
  EXPECT_EQ(read_file(elsewhere / ".qor-download-Zz0000"), "outside");
}

}  // namespace
}  // namespace qor::test
