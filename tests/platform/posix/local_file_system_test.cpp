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
#include <string_view>

#include "platform/file_system.hpp"
#include "platform/linux/files/pe_file.hpp"
#include "tests/support/files.hpp"

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

// A part of a path missing as written is the folder's one entry equal to it
// in any letter case (Latin, Greek, Cyrillic), for every operation; where
// several match, only the name as written.
TEST_F(LocalFileSystem, ANameInAnotherLetterCaseIsTheOneEntryThere) {
  fs::create_directories(dir / "Bilder/\xC3\x84ltere");  // Ältere
  write_file(dir / "Bilder/\xC3\x84ltere/Logo.JPG", "old");
  const std::string other_case = dir.path() + "\\bilder\\\xC3\xA4LTERE\\lOGO.jpg";  // bilder\äLTERE\lOGO.jpg
  const std::string on_disk = dir / "Bilder/\xC3\x84ltere/Logo.JPG";
  EXPECT_TRUE(files->FolderExists(dir / "BILDER/\xC3\xA4ltere/"));
  EXPECT_TRUE(files->FileExists(other_case));
  EXPECT_EQ(*files->regular_file_inside(other_case), on_disk);
  auto target = files->replace_file(other_case);
  ASSERT_TRUE(target);
  ASSERT_TRUE((*target)->write("new", 3));
  ASSERT_TRUE((*target)->commit(Placement::Replace));
  EXPECT_EQ(test::read_file(on_disk), "new");
  ASSERT_TRUE(files->set_last_write_time(other_case, FILETIME{0, 30000000}));
  EXPECT_EQ(files->DateLastModified(on_disk)->time_since_epoch(),
            files->DateLastModified(other_case)->time_since_epoch());
  EXPECT_TRUE(files->CreateFolder(dir / "bilder/Neu"));
  EXPECT_EQ(test::file_names(dir.path()), std::vector<std::string>{"Bilder"});
  EXPECT_EQ(test::file_names(dir / "Bilder"), (std::vector<std::string>{"Neu", "\xC3\x84ltere"}));

  // Final sigma and the Cyrillic capitals fold like the Latin ones.
  write_file(dir / "\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3.txt", "greek");             // ΟΔΟΣ.txt
  write_file(dir / "\xD0\xA4\xD0\x90\xD0\x99\xD0\x9B.txt", "cyrillic");          // ФАЙЛ.txt
  EXPECT_TRUE(files->FileExists(dir / "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82.TXT"));  // οδος.TXT
  EXPECT_TRUE(files->FileExists(dir / "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt"));  // файл.txt

  write_file(dir / "Data.txt", "one");
  write_file(dir / "DATA.txt", "two");
  EXPECT_FALSE(files->FileExists(dir / "data.txt"));
  EXPECT_TRUE(files->FileExists(dir / "DATA.txt"));
}

// The names of a folder are read once and then kept up to date: what the
// client makes is found in any letter case, and what someone else makes,
// removes or renames meanwhile counts as at once as if the folder were read
// again for each look-up.
TEST_F(LocalFileSystem, LookUpsInAChangingFolderSeeEveryChange) {
  fs::create_directory(dir / "Pakete");
  const std::string pakete = dir.path() + "\\pakete\\";
  EXPECT_FALSE(files->FolderExists(pakete + "neu"));  // the folder's names are read here
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    SCOPED_TRACE(n);
    // The path of the entry `stem` n `suffix`, as the server names it and as it is on disk.
    const auto in_pakete = [&](std::string_view stem, std::string_view suffix = "") {
      return std::string(pakete).append(stem).append(n).append(suffix);
    };
    const auto on_disk = [&](std::string_view stem, std::string_view suffix = "") {
      return (dir / "Pakete/").append(stem).append(n).append(suffix);
    };
    // The client's own folder and file are found in another letter case,
    // and a second creation in another case makes nothing new.
    ASSERT_TRUE(files->CreateFolder(in_pakete("Neu")));
    EXPECT_TRUE(files->FolderExists(in_pakete("NEU")));
    EXPECT_TRUE(files->CreateFolder(in_pakete("neu")));
    auto placed = files->replace_file(in_pakete("Datei", ".txt"));
    ASSERT_TRUE(placed && (*placed)->write("first", 5));
    ASSERT_TRUE((*placed)->commit(Placement::OnlyIfAbsent));
    EXPECT_TRUE(files->FileExists(in_pakete("DATEI", ".TXT")));
    auto again = files->replace_file(in_pakete("datei", ".TXT"));
    ASSERT_TRUE(again && (*again)->write("second", 6));
    ASSERT_TRUE((*again)->commit(Placement::Replace));
    EXPECT_EQ(test::read_file(on_disk("Datei", ".txt")), "second");

    // Someone else's folder, made between two look-ups, is the one meant.
    fs::create_directory(on_disk("EXTERN"));
    EXPECT_TRUE(files->FolderExists(in_pakete("extern")));
    EXPECT_TRUE(files->CreateFolder(in_pakete("Extern")));
    // A file of theirs that appears while a download of the same name in
    // another case is under way stays, and the download is dropped.
    auto download = files->replace_file(in_pakete("kunden", ".db3"));
    ASSERT_TRUE(download && (*download)->write("server", 6));
    EXPECT_FALSE(files->FileExists(in_pakete("kunden", ".db3")));
    write_file(on_disk("KUNDEN", ".DB3"), "user");
    const auto committed = (*download)->commit(Placement::OnlyIfAbsent);
    ASSERT_TRUE(committed);
    EXPECT_EQ(*committed, Committed::PlaceTaken);
    EXPECT_EQ(test::read_file(on_disk("KUNDEN", ".DB3")), "user");

    // A name removed or renamed meanwhile is gone under its old name; a
    // second entry of the same folded name makes the name as written.
    fs::rename(on_disk("Neu"), on_disk("Alt"));
    EXPECT_FALSE(files->FolderExists(in_pakete("neu")));
    EXPECT_TRUE(files->FolderExists(in_pakete("ALT")));
    fs::remove(on_disk("Alt"));
    EXPECT_FALSE(files->FolderExists(in_pakete("alt")));
    fs::create_directory(on_disk("extern"));
    EXPECT_FALSE(files->FileExists(in_pakete("eXtErN")));
    EXPECT_FALSE(files->FolderExists(in_pakete("eXtErN")));
  }
  std::vector<std::string> expected;
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    for (const char* stem : {"Datei", "EXTERN", "KUNDEN", "extern"}) {
      std::string name = stem + n;
      if (name.starts_with("Datei")) name += ".txt";
      if (name.starts_with("KUNDEN")) name += ".DB3";
      expected.push_back(name);
    }
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(test::file_names(dir / "Pakete"), expected);
}

// The temporary files of a killed run go, and nothing else: not a file of
// another name, a folder or a link so named, nor what a link leads to.
TEST_F(LocalFileSystem, RemovesOnlyTheLeftoversOfDownloads) {
  TempDir elsewhere;
  write_file(elsewhere / ".qor-download-Zz0000", "outside");
  fs::create_directories(dir / "a/b");
  write_file(dir / ".qor-download-AbC123", "half");
  write_file(dir / "a/b/.qor-download-000000", "half");
  write_file(dir / "a/.qor-download-AbC12", "short");
  write_file(dir / "a/.qor-download-AbC12-", "odd");
  fs::create_directory(dir / "a/.qor-download-Folder");
  fs::create_symlink(elsewhere / ".qor-download-Zz0000", dir / "a/.qor-download-L1nk00");
  fs::create_directory_symlink(elsewhere.path(), dir / "linked");
  ASSERT_TRUE(files->remove_download_leftovers());
  EXPECT_EQ(test::file_names(dir.path()), (std::vector<std::string>{"a", "linked"}));
  EXPECT_EQ(test::file_names(dir / "a"),
            (std::vector<std::string>{".qor-download-AbC12", ".qor-download-AbC12-", ".qor-download-Folder",
                                      ".qor-download-L1nk00", "b"}));
  EXPECT_TRUE(test::file_names(dir / "a/b").empty());
  EXPECT_EQ(test::read_file(elsewhere / ".qor-download-Zz0000"), "outside");
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

  ASSERT_TRUE((*replacing)->commit(Placement::Replace));
  ASSERT_TRUE((*creating)->commit(Placement::Replace));
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
  ASSERT_TRUE((*again)->commit(Placement::Replace));
  EXPECT_EQ(test::read_file(dir / "data.db3"), "second");
}

// Links below the program folder lead nowhere: not to a file outside
// (replaced, stamped, made startable) nor a folder outside (files created
// in it). The link is reported and stays as it was, and so does what it
// names.
TEST_F(LocalFileSystem, NoWriteFollowsALinkBelowTheProgramFolder) {
  TempDir elsewhere;
  write_file(elsewhere / "file", "the other owner's");
  ::chmod((elsewhere / "file").c_str(), 0644);
  const auto stamp_before = test::last_write(elsewhere / "file");
  fs::create_symlink(elsewhere / "file", dir / "victim.dll");
  fs::create_symlink(elsewhere.path(), dir / "Daten");
  fs::create_directory(dir / "real");
  write_file(dir / "real/app.exe", "inside");
  fs::create_symlink(dir / "real/app.exe", dir / "app.exe");

  for (const std::string& path : {dir / "victim.dll", dir / "Daten/new.dll", dir / "app.exe"}) {
    SCOPED_TRACE(path);
    const auto replacing = files->replace_file(path);
    ASSERT_FALSE(replacing);
    EXPECT_NE(replacing.failure().reason.find("symbolic link"), std::string::npos) << replacing.failure().reason;
    EXPECT_NE(replacing.failure().reason.find(path), std::string::npos) << replacing.failure().reason;
    EXPECT_FALSE(files->FileExists(path));
  }
  EXPECT_FALSE(files->CreateFolder(dir / "Daten/sub"));
  EXPECT_FALSE(files->CreateFolder(dir / "Daten"));
  EXPECT_FALSE(files->FolderExists(dir / "Daten"));
  EXPECT_FALSE(files->set_last_write_time(dir / "victim.dll", FILETIME{0, 30000000}));
  EXPECT_FALSE(files->set_last_write_time(dir / "Daten/file", FILETIME{0, 30000000}));
  EXPECT_FALSE(files->make_startable(dir / "victim.dll"));
  EXPECT_FALSE(files->DateLastModified(dir / "victim.dll"));
  EXPECT_FALSE(files->regular_file_inside(dir / "app.exe"));

  EXPECT_EQ(test::read_file(elsewhere / "file"), "the other owner's");
  EXPECT_EQ(test::mode_of(elsewhere / "file"), 0644u);
  EXPECT_EQ(test::last_write(elsewhere / "file"), stamp_before);
  EXPECT_EQ(test::file_names(elsewhere.path()), std::vector<std::string>{"file"});
  EXPECT_EQ(test::read_file(dir / "real/app.exe"), "inside");
  EXPECT_TRUE(fs::is_symlink(dir / "victim.dll") && fs::is_symlink(dir / "Daten") && fs::is_symlink(dir / "app.exe"));
}

// The program folder itself may be reached through a link; writes outside
// it are refused.
TEST_F(LocalFileSystem, TheFolderMayBeALinkAndWritesOutsideItAreRefused) {
  TempDir other;
  fs::create_symlink(dir.path(), other / "program");
  const auto through = make_local_file_system(other / "program");
  auto target = through->replace_file(other / "program/new.dll");
  ASSERT_TRUE(target) << target.failure().reason;
  ASSERT_TRUE((*target)->write("new", 3));
  ASSERT_TRUE((*target)->commit(Placement::Replace));
  EXPECT_EQ(test::read_file(dir / "new.dll"), "new");

  write_file(other / "outside.dll", "kept");
  const auto outside = through->replace_file(other / "outside.dll");
  ASSERT_FALSE(outside);
  EXPECT_NE(outside.failure().reason.find("outside the program folder"), std::string::npos) << outside.failure().reason;
  EXPECT_FALSE(through->CreateFolder(other / "made"));
  EXPECT_FALSE(through->set_last_write_time(other / "outside.dll", FILETIME{0, 30000000}));
  EXPECT_FALSE(through->make_startable(dir / "../outside.dll"));
  EXPECT_EQ(test::file_names(other.path()), (std::vector<std::string>{"outside.dll", "program"}));
}

// A file that replaces another one never runs with its owner's rights.
TEST_F(LocalFileSystem, AReplacedFileLosesSetUserAndSetGroupBits) {
  write_file(dir / "tool.exe", "old");
  ASSERT_EQ(::chmod((dir / "tool.exe").c_str(), 06755), 0);
  auto target = files->replace_file(dir / "tool.exe");
  ASSERT_TRUE(target);
  ASSERT_TRUE((*target)->write("new", 3));
  ASSERT_TRUE((*target)->commit(Placement::Replace));
  EXPECT_EQ(test::mode_of(dir / "tool.exe"), 0755u);
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
