// The file-system object bound to its program folder on Windows: no reparse
// point below the folder is followed (a junction to a folder elsewhere, a
// symbolic link to a file elsewhere), writes outside the folder are refused,
// the folder itself may be reached through one, and the leftovers of a
// killed run go while nothing else does. Reparse points are real: junctions
// on Windows, symbolic links of the Linux side under Wine (reparse_point.hpp).
#include <gtest/gtest.h>

#include "platform/file_system.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/reparse_point.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

using test::file_names;
using test::read_file;
using test::TempDir;
using test::write_file;

DWORD attributes_of(const std::string& path) { return GetFileAttributesW(win32::to_wide(path).c_str()); }

bool is_reparse_point(const std::string& path) {
  const DWORD attributes = attributes_of(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void make_folder(const std::string& path) { ASSERT_TRUE(CreateDirectoryW(win32::to_wide(path).c_str(), nullptr)); }

void make_link(const std::string& link, const std::string& target) {
  const auto failed = test::make_reparse_point(link, target);
  ASSERT_FALSE(failed) << *failed;
}

// The links go first, so that removing the folders never walks through them.
void remove_link(const std::string& link) {
  const std::wstring wide = win32::to_wide(link);
  if (!RemoveDirectoryW(wide.c_str())) DeleteFileW(wide.c_str());
}

class ProgramFolder : public ::testing::Test {
 protected:
  ~ProgramFolder() override {
    for (const auto& link : links_) remove_link(link);
  }
  void link(const std::string& at, const std::string& target) {
    links_.push_back(at);
    make_link(at, target);
  }

  TempDir dir;
  TempDir elsewhere;
  std::unique_ptr<FileSystem> files = make_local_file_system(dir.path());

 private:
  std::vector<std::string> links_;
};

// A junction "Daten" to a folder elsewhere and a link "victim.dll" to a file
// elsewhere: nothing is created, replaced or stamped through them; each is
// reported with its path and stays as it was, and so does what it names.
// (Wine shows the link to a file as the file itself; the open file tells.)
TEST_F(ProgramFolder, NoWriteFollowsAReparsePointBelowTheFolder) {
  write_file(elsewhere / "file", "the other owner's");
  const auto stamp_before = test::last_write(elsewhere / "file");
  link(dir / "victim.dll", elsewhere / "file");
  link(dir / "Daten", elsewhere.path());
  make_folder(dir / "real");
  write_file(dir / "real/app.exe", "inside");
  link(dir / "app.exe", dir / "real/app.exe");

  for (const std::string& path :
       {dir / "victim.dll", dir / "Daten/new.dll", dir / "Daten\\sub\\new.dll", dir / "app.exe"}) {
    SCOPED_TRACE(path);
    const auto replacing = files->replace_file(path);
    ASSERT_FALSE(replacing);
    EXPECT_NE(replacing.failure().reason.find("is in the way"), std::string::npos) << replacing.failure().reason;
    EXPECT_NE(replacing.failure().reason.find(local_path(path)), std::string::npos) << replacing.failure().reason;
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
  EXPECT_NE(start.failure().reason.find("is in the way"), std::string::npos) << start.failure().reason;

  EXPECT_EQ(read_file(elsewhere / "file"), "the other owner's");
  EXPECT_EQ(test::last_write(elsewhere / "file"), stamp_before);
  EXPECT_EQ(file_names(elsewhere.path()), std::vector<std::string>{"file"});
  EXPECT_EQ(read_file(dir / "real/app.exe"), "inside");
  EXPECT_TRUE(is_reparse_point(dir / "Daten"));
  EXPECT_EQ(read_file(dir / "victim.dll"), "the other owner's");  // still the link
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"Daten", "app.exe", "real", "victim.dll"}));
}

// The folder itself may be reached through a reparse point; writes outside
// it are refused with the reason, reads of paths outside see the disk.
TEST_F(ProgramFolder, TheFolderMayBeAReparsePointAndWritesOutsideItAreRefused) {
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
  EXPECT_NE(outside.failure().reason.find("outside the program folder"), std::string::npos) << outside.failure().reason;
  EXPECT_EQ(outside.failure().code, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(through->CreateFolder(elsewhere / "made"));
  EXPECT_FALSE(through->set_last_write_time(elsewhere / "outside.dll", FILETIME{0, 30000000}));
  EXPECT_FALSE(through->make_startable(elsewhere / "outside.dll"));
  EXPECT_FALSE(through->regular_file_inside(elsewhere / "outside.dll"));
  EXPECT_FALSE(through->replace_file(elsewhere / "program/../outside.dll"));
  EXPECT_TRUE(through->FileExists(elsewhere / "outside.dll"));
  EXPECT_EQ(file_names(elsewhere.path()), (std::vector<std::string>{"outside.dll", "program"}));
  EXPECT_EQ(read_file(elsewhere / "outside.dll"), "kept");
}

// The program to start, as it stands on disk; nothing else is one.
TEST_F(ProgramFolder, TheProgramToStartIsARegularFileInsideInItsOwnSpelling) {
  make_folder(dir / "Bin");
  write_file(dir / "Bin/QOR_Software.exe", "MZ");
  const auto found = files->regular_file_inside(dir.path() + "\\bin\\qor_software.EXE");
  ASSERT_TRUE(found) << found.failure().reason;
  EXPECT_EQ(*found, local_path(dir / "Bin/QOR_Software.exe"));
  for (const std::string& path : {dir / "Bin", dir / "missing.exe", dir.path()}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(files->regular_file_inside(path));
  }
  EXPECT_EQ(files->regular_file_inside(dir / "missing.exe").failure().code, ERROR_FILE_NOT_FOUND);
}

// The temporary files of a killed run go, and nothing else: not a file of
// another name, a folder so named, nor what a reparse point leads to.
TEST_F(ProgramFolder, RemovesOnlyTheLeftoversOfDownloads) {
  write_file(elsewhere / ".qor-download-Zz0000", "outside");
  make_folder(dir / "a");
  make_folder(dir / "a/b");
  write_file(dir / ".qor-download-AbC123", "half");
  write_file(dir / "a/b/.qor-download-000000", "half");
  write_file(dir / "a/.qor-download-AbC12", "short");
  write_file(dir / "a/.qor-download-AbC12-", "odd");
  write_file(dir / "a/.qor-download-AbC12\xC3\xA4", "not ASCII");
  make_folder(dir / "a/.qor-download-Folder");
  link(dir / "linked", elsewhere.path());
  ASSERT_TRUE(files->remove_download_leftovers());
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"a", "linked"}));
  EXPECT_EQ(file_names(dir / "a"),
            (std::vector<std::string>{".qor-download-AbC12", ".qor-download-AbC12-", ".qor-download-AbC12\xC3\xA4",
                                      ".qor-download-Folder", "b"}));
  EXPECT_TRUE(file_names(dir / "a/b").empty());
  EXPECT_EQ(read_file(elsewhere / ".qor-download-Zz0000"), "outside");
}

// A download on its way lies beside its target under a name of the
// leftover form (which a killed run would leave), until it is committed or
// dropped.
TEST_F(ProgramFolder, ADownloadArrivesUnderATemporaryNameOfTheLeftoverForm) {
  {
    auto target = files->replace_file(dir / "paket.dll");
    ASSERT_TRUE(target) << target.failure().reason;
    const auto names = file_names(dir.path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].size(), 20u) << names[0];
    EXPECT_EQ(names[0].rfind(".qor-download-", 0), 0u) << names[0];
  }
  EXPECT_TRUE(file_names(dir.path()).empty());
}

}  // namespace
}  // namespace qor
