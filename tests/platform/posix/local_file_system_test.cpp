// The file-system object on real files: what it reports, the reasons of its
// failures, and the server's "\" read as a separator everywhere.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>

#include "file_system.hpp"
#include "files.hpp"
#include "pe_file.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::write_file;

std::string with_backslashes(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

class LocalFileSystem : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<FileSystem> files = make_local_file_system(dir.path() + "\\");
};

TEST_F(LocalFileSystem, FoldersAndFilesEitherSeparator) {
  write_file(dir / "a.txt", "x");
  EXPECT_TRUE(files->FolderExists(dir.path()));
  EXPECT_TRUE(files->FolderExists(dir.path() + "\\"));
  EXPECT_TRUE(files->FolderExists(dir.path() + "/"));
  EXPECT_FALSE(files->FolderExists(dir / "a.txt"));
  EXPECT_FALSE(files->FolderExists(dir / "missing\\"));

  EXPECT_TRUE(files->FileExists(dir / "a.txt"));
  EXPECT_TRUE(files->FileExists(dir.path() + "\\a.txt"));
  EXPECT_FALSE(files->FileExists(dir.path()));
  EXPECT_FALSE(files->FileExists(dir.path() + "\\"));
  EXPECT_FALSE(files->FileExists(dir / "a.txt\\"));
  EXPECT_FALSE(files->FileExists(dir / "missing"));
  EXPECT_EQ(local_path("C\\sub\\file.dll"), "C/sub/file.dll");
}

TEST_F(LocalFileSystem, CreateFolderSucceedsWhenTheFolderIsThereAndTellsWhyNot) {
  write_file(dir / "a.txt", "x");
  EXPECT_TRUE(files->CreateFolder(dir.path() + "\\pkg"));
  EXPECT_TRUE(fs::is_directory(dir / "pkg"));
  EXPECT_TRUE(files->CreateFolder(dir / "pkg"));  // already there is what the caller wanted

  const Status on_a_file = files->CreateFolder(dir / "a.txt");
  ASSERT_FALSE(on_a_file);
  EXPECT_EQ(on_a_file.failure().code, EEXIST);
  EXPECT_NE(on_a_file.failure().reason.find(dir / "a.txt"), std::string::npos) << on_a_file.failure().reason;

  const Status no_parent = files->CreateFolder(dir.path() + "\\no\\parent");
  ASSERT_FALSE(no_parent);
  EXPECT_EQ(no_parent.failure().code, ENOENT);
  EXPECT_NE(no_parent.failure().reason.find(dir / "no/parent"), std::string::npos) << no_parent.failure().reason;
  EXPECT_NE(no_parent.failure().reason.find("No such file or directory"), std::string::npos);
}

TEST_F(LocalFileSystem, DateLastModifiedToTheSecondOrTheReason) {
  write_file(dir / "a.dll", "x");
  const std::chrono::sys_seconds when =
      std::chrono::sys_days{std::chrono::year{2019} / 3 / 14} + std::chrono::hours{15};
  test::set_last_write(dir / "a.dll", when);
  const auto got = files->DateLastModified(dir.path() + "\\a.dll");
  ASSERT_TRUE(got);
  EXPECT_EQ(std::chrono::floor<std::chrono::seconds>(*got), when);

  const auto missing = files->DateLastModified(dir / "missing.dll");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().code, ENOENT);
  EXPECT_NE(missing.failure().reason.find(dir / "missing.dll"), std::string::npos) << missing.failure().reason;
}

#ifndef QOR_PE_FIXTURES
#define QOR_PE_FIXTURES ""
#endif
std::string fixture(const std::string& name) { return std::string(QOR_PE_FIXTURES) + "/" + name + ".exe"; }

TEST_F(LocalFileSystem, FileVersionOfRealImagesAndEmptyTextForAnythingElse) {
  write_file(dir / "script.sh", "#!/bin/sh\necho MZ\n");
  write_file(dir / "mz", "MZ");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);  // must not block waiting for a writer
  for (const std::string& path :
       {std::string("/proc/self/exe"), dir / "script.sh", dir / "mz", dir / "fifo", dir.path(), dir / "missing"}) {
    EXPECT_EQ(files->GetFileVersion(path), "") << path;
  }
  if (std::string(QOR_PE_FIXTURES).empty()) GTEST_SKIP() << "MinGW cross toolchain not found at configure time";
  EXPECT_EQ(files->GetFileVersion(with_backslashes(fixture("versioned64"))), "1.2.3.4");
  EXPECT_EQ(read_pe_file_version_at(fixture("wide32")), "65535.256.0.40000");
  EXPECT_EQ(read_pe_file_version_at(fixture("plain64")), "");
  // A cut image is read as far as it goes, and has no version.
  const std::string whole = test::read_file(fixture("versioned32"));
  write_file(dir / "cut.exe", whole.substr(0, whole.size() / 2));
  EXPECT_EQ(files->GetFileVersion(dir / "cut.exe"), "");
}

TEST_F(LocalFileSystem, ReplaceFileCreatesOrReplacesOnlyOnCommit) {
  write_file(dir / "old.exe", "old");
  ASSERT_EQ(::chmod((dir / "old.exe").c_str(), 0750), 0);
  auto replacing = files->replace_file(dir.path() + "\\old.exe");
  auto creating = files->replace_file(dir.path() + "\\new.dll");
  ASSERT_TRUE(replacing) << replacing.failure().reason;
  ASSERT_TRUE(creating) << creating.failure().reason;
  ASSERT_TRUE((*replacing)->write("new program", 11));
  ASSERT_TRUE((*creating)->write("library", 7));
  EXPECT_EQ(test::read_file(dir / "old.exe"), "old");  // nothing changes before commit
  EXPECT_FALSE(fs::exists(dir / "new.dll"));

  ASSERT_TRUE((*replacing)->commit());
  ASSERT_TRUE((*creating)->commit());
  EXPECT_EQ(test::read_file(dir / "old.exe"), "new program");
  EXPECT_EQ(test::mode_of(dir / "old.exe"), 0750u);
  EXPECT_EQ(test::read_file(dir / "new.dll"), "library");
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(test::mode_of(dir / "new.dll"), 0666u & ~mask);
  EXPECT_EQ(test::file_names(dir.path()), (std::vector<std::string>{"new.dll", "old.exe"}));
}

TEST_F(LocalFileSystem, AReplacementGivenUpOrStartedOverLeavesNoTrace) {
  write_file(dir / "data.db3", "the old database");
  {
    auto given_up = files->replace_file(dir / "data.db3");
    ASSERT_TRUE(given_up);
    ASSERT_TRUE((*given_up)->write("half of the new", 15));
  }
  EXPECT_EQ(test::read_file(dir / "data.db3"), "the old database");
  EXPECT_EQ(test::file_names(dir.path()), std::vector<std::string>{"data.db3"});

  auto again = files->replace_file(dir / "data.db3");
  ASSERT_TRUE(again);
  ASSERT_TRUE((*again)->write("first attempt, longer", 21));
  ASSERT_TRUE((*again)->rewind());
  ASSERT_TRUE((*again)->write("second", 6));
  ASSERT_TRUE((*again)->commit());
  EXPECT_EQ(test::read_file(dir / "data.db3"), "second");
}

TEST_F(LocalFileSystem, ReplaceFileThroughALinkReplacesTheFileItNames) {
  fs::create_directory(dir / "real");
  write_file(dir / "real/app.exe", "old");
  fs::create_symlink(dir / "real/app.exe", dir / "app.exe");
  auto target = files->replace_file(dir / "app.exe");
  ASSERT_TRUE(target);
  ASSERT_TRUE((*target)->write("new", 3));
  ASSERT_TRUE((*target)->commit());
  EXPECT_TRUE(fs::is_symlink(dir / "app.exe"));
  EXPECT_EQ(test::read_file(dir / "real/app.exe"), "new");
}

TEST_F(LocalFileSystem, ReplaceFileRefusesWithTheReason) {
  write_file(dir / "protected.dll", "protected");
  ASSERT_EQ(::chmod((dir / "protected.dll").c_str(), 0444), 0);
  fs::create_directory(dir / "folder.dll");
  struct Case {
    std::string path, reason;
    long code;
  };
  for (const Case& c :
       {Case{dir / "protected.dll", "write-protected", EACCES}, Case{dir / "folder.dll", "not a regular file", 0},
        Case{dir / "missing/new.dll", "No such file or directory", ENOENT}}) {
    SCOPED_TRACE(c.path);
    const auto refused = files->replace_file(c.path);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.failure().reason.find(c.path), std::string::npos) << refused.failure().reason;
    EXPECT_NE(refused.failure().reason.find(c.reason), std::string::npos) << refused.failure().reason;
    EXPECT_EQ(refused.failure().code, c.code);
  }
  EXPECT_EQ(test::read_file(dir / "protected.dll"), "protected");
  EXPECT_EQ(test::file_names(dir.path()), (std::vector<std::string>{"folder.dll", "protected.dll"}));
}

TEST_F(LocalFileSystem, MakeStartableAddsExecuteWhereReadIsGranted) {
  for (const auto& [before, after] :
       {std::pair{0644u, 0755u}, std::pair{0600u, 0700u}, std::pair{0640u, 0750u}, std::pair{0755u, 0755u}}) {
    write_file(dir / "app", "#!/bin/sh\n");
    ASSERT_EQ(::chmod((dir / "app").c_str(), before), 0);
    EXPECT_TRUE(files->make_startable(dir.path() + "\\app"));
    EXPECT_EQ(test::mode_of(dir / "app"), after) << std::oct << before;
  }
  const Status missing = files->make_startable(dir / "missing");
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.failure().reason.find(dir / "missing"), std::string::npos) << missing.failure().reason;
  EXPECT_FALSE(files->make_startable(dir.path()));
}

}  // namespace
}  // namespace qor
