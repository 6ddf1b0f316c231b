// What the file-system object reports of folders and files: either
// separator, any letter case, UTF-8 names, a folder that changes between
// look-ups, created folders, last-write times and file versions, each
// failure with its reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/platform/contract/files/file_system_suite.hpp"

namespace qor::test {
namespace {

namespace fs = std::filesystem;

using FoldersAndFiles = FileSystemSuite;

TEST_F(FoldersAndFiles, TellsFilesFromFoldersWhateverTheSeparators) {
  write_file(dir / "Paket.db3", "x");
  ASSERT_TRUE(files->CreateFolder(dir / "Daten"));

  EXPECT_TRUE(files->FolderExists(dir.path()));
  EXPECT_TRUE(files->FolderExists(dir.path() + "\\"));
  EXPECT_TRUE(files->FolderExists(dir.path() + "/"));
  EXPECT_TRUE(files->FolderExists(dir / "Daten"));
  EXPECT_TRUE(files->FolderExists(dir / "Daten\\"));
  EXPECT_TRUE(files->FolderExists(dir.path() + "\\Daten/"));
  EXPECT_FALSE(files->FolderExists(dir / "Paket.db3"));
  EXPECT_FALSE(files->FolderExists(dir / "nichts\\"));

  EXPECT_TRUE(files->FileExists(dir / "Paket.db3"));
  EXPECT_TRUE(files->FileExists(dir.path() + "\\Paket.db3"));
  EXPECT_FALSE(files->FileExists(dir.path()));
  EXPECT_FALSE(files->FileExists(dir.path() + "\\"));
  EXPECT_FALSE(files->FileExists(dir / "Daten"));
  EXPECT_FALSE(files->FileExists(dir / "Paket.db3\\"));
  EXPECT_FALSE(files->FileExists(dir / "nichts"));
  EXPECT_EQ(local_path("C\\sub\\file.dll"), "C/sub/file.dll");
}

TEST_F(FoldersAndFiles, PathsAreUtf8AndNamesArriveAsWritten) {
  const std::string folder = dir / "Bilder \xC3\x84rger \xE2\x82\xAC";  // "Bilder Ärger €"
  const std::string file = folder +
                           "\\\xC3\xBC"
                           "bersicht \xCE\xA9.txt";  // "übersicht Ω.txt"
  ASSERT_TRUE(files->CreateFolder(folder));
  ASSERT_TRUE(place(file, "x"));
  // The names as the system lists them.
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"Bilder \xC3\x84rger \xE2\x82\xAC"});
  EXPECT_EQ(file_names(folder), std::vector<std::string>{"\xC3\xBC"
                                                         "bersicht \xCE\xA9.txt"});
  EXPECT_TRUE(files->FileExists(file));
  EXPECT_TRUE(files->FolderExists(folder));
}

// A part of a path missing as written is the folder's one entry equal to it
// in any letter case (Latin, Greek, Cyrillic), for every operation; where
// several match, only the name as written.
TEST_F(FoldersAndFiles, ANameInAnotherLetterCaseIsTheOneEntryThere) {
  fs::create_directories(native(dir / "Bilder/\xC3\x84ltere"));  // Ältere
  write_file(dir / "Bilder/\xC3\x84ltere/Logo.JPG", "old");
  const std::string other_case = dir.path() + "\\bilder\\\xC3\xA4LTERE\\lOGO.jpg";  // bilder\äLTERE\lOGO.jpg
  const std::string on_disk = dir / "Bilder/\xC3\x84ltere/Logo.JPG";
  EXPECT_TRUE(files->FolderExists(dir / "BILDER/\xC3\xA4ltere/"));
  EXPECT_TRUE(files->FileExists(other_case));
  EXPECT_FALSE(files->FolderExists(other_case));
  const auto inside = files->regular_file_inside(other_case);
  ASSERT_TRUE(inside) << inside.failure().reason;
  EXPECT_EQ(*inside, on_disk);
  ASSERT_TRUE(place(other_case, "new"));
  EXPECT_EQ(read_file(on_disk), "new");
  ASSERT_TRUE(files->set_last_write_time(other_case, FILETIME{0, 30000000}));
  EXPECT_EQ(files->DateLastModified(on_disk)->time_since_epoch(),
            files->DateLastModified(other_case)->time_since_epoch());
  EXPECT_TRUE(files->CreateFolder(dir / "bilder/Neu"));
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"Bilder"});
  EXPECT_EQ(file_names(dir / "Bilder"), (std::vector<std::string>{"Neu", "\xC3\x84ltere"}));
  EXPECT_EQ(file_names(dir / "Bilder/\xC3\x84ltere"), std::vector<std::string>{"Logo.JPG"});

  // Sigma, also the final one, and the Cyrillic capitals fold like the Latin ones.
  write_file(dir / "\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3.txt", "greek");             // ΟΔΟΣ.txt
  write_file(dir / "\xD0\xA4\xD0\x90\xD0\x99\xD0\x9B.txt", "cyrillic");          // ФАЙЛ.txt
  EXPECT_TRUE(files->FileExists(dir / "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x83.TXT"));  // οδοσ.TXT
  if (folds_final_sigma()) {
    EXPECT_TRUE(files->FileExists(dir / "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82.TXT"));  // οδος.TXT
  }
  EXPECT_TRUE(files->FileExists(dir / "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.txt"));  // файл.txt

  if (!names_may_differ_in_case_only()) return;
  write_file(dir / "Data.txt", "one");
  write_file(dir / "DATA.txt", "two");
  EXPECT_FALSE(files->FileExists(dir / "data.txt"));
  EXPECT_TRUE(files->FileExists(dir / "DATA.txt"));
}

// The names of a folder are read once and then kept up to date: what the
// client makes is found in any letter case, and what someone else makes,
// removes or renames meanwhile counts at once, as if the folder were read
// again for each look-up.
TEST_F(FoldersAndFiles, LookUpsInAChangingFolderSeeEveryChange) {
  fs::create_directory(native(dir / "Pakete"));
  const std::string pakete = dir.path() + "\\pakete\\";
  EXPECT_FALSE(files->FolderExists(pakete + "neu"));  // the folder's names are read here
  std::vector<std::string> expected;
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
    ASSERT_TRUE(place(in_pakete("Datei", ".txt"), "first", Placement::OnlyIfAbsent));
    EXPECT_TRUE(files->FileExists(in_pakete("DATEI", ".TXT")));
    ASSERT_TRUE(place(in_pakete("datei", ".TXT"), "second"));
    EXPECT_EQ(read_file(on_disk("Datei", ".txt")), "second");

    // Someone else's folder, made between two look-ups, is the one meant.
    fs::create_directory(native(on_disk("EXTERN")));
    EXPECT_TRUE(files->FolderExists(in_pakete("extern")));
    EXPECT_TRUE(files->CreateFolder(in_pakete("Extern")));
    // A file of theirs that appears while a download of the same name in
    // another case is under way stays, and the download is dropped.
    auto download = files->replace_file(in_pakete("kunden", ".db3"));
    ASSERT_TRUE(download && (*download)->write("server", 6));
    EXPECT_FALSE(files->FileExists(in_pakete("kunden", ".db3")));
    write_file(on_disk("KUNDEN", ".DB3"), "user");
    const auto committed = (*download)->commit(Placement::OnlyIfAbsent);
    ASSERT_TRUE(committed) << committed.failure().reason;
    EXPECT_EQ(*committed, Committed::PlaceTaken);
    EXPECT_EQ(read_file(on_disk("KUNDEN", ".DB3")), "user");

    // A name removed or renamed meanwhile is gone under its old name.
    fs::rename(native(on_disk("Neu")), native(on_disk("Alt")));
    EXPECT_FALSE(files->FolderExists(in_pakete("neu")));
    EXPECT_TRUE(files->FolderExists(in_pakete("ALT")));
    fs::remove(native(on_disk("Alt")));
    EXPECT_FALSE(files->FolderExists(in_pakete("alt")));
    for (const std::string& name : {"Datei" + n + ".txt", "EXTERN" + n, "KUNDEN" + n + ".DB3"})
      expected.push_back(name);

    // A second entry of the same folded name makes the name as written.
    if (!names_may_differ_in_case_only()) continue;
    fs::create_directory(native(on_disk("extern")));
    EXPECT_FALSE(files->FileExists(in_pakete("eXtErN")));
    EXPECT_FALSE(files->FolderExists(in_pakete("eXtErN")));
    expected.push_back("extern" + n);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(file_names(dir / "Pakete"), expected);
}

TEST_F(FoldersAndFiles, CreateFolderSucceedsWhenTheFolderIsThereAndTellsWhyNot) {
  write_file(dir / "a.txt", "x");
  EXPECT_TRUE(files->CreateFolder(dir.path() + "\\pkg"));
  EXPECT_TRUE(fs::is_directory(native(dir / "pkg")));
  // Someone else was quicker: the folder is there, which is all that counts.
  EXPECT_TRUE(files->CreateFolder(dir / "pkg"));

  const Status on_a_file = files->CreateFolder(dir / "a.txt");
  ASSERT_FALSE(on_a_file);
  EXPECT_EQ(on_a_file.failure().code, failure_codes().already_exists);
  EXPECT_TRUE(holds(on_a_file.failure().reason, dir / "a.txt"));

  const Status no_parent = files->CreateFolder(dir.path() + "\\no\\parent");
  ASSERT_FALSE(no_parent);
  EXPECT_EQ(no_parent.failure().code, failure_codes().folder_not_found);
  EXPECT_TRUE(holds(no_parent.failure().reason, dir / "no/parent"));
  EXPECT_TRUE(holds(no_parent.failure().reason, system_words(failure_codes().folder_not_found)));
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"a.txt", "pkg"}));
}

TEST_F(FoldersAndFiles, LastModifiedIsTheFilesLastWriteTimeOrTheReason) {
  write_file(dir / "a.dll", "x");
  // 2026-12-07 14:05:09.250 UTC
  const auto when = std::chrono::sys_days{std::chrono::year{2026} / 12 / 7} + std::chrono::hours{14} +
                    std::chrono::minutes{5} + std::chrono::milliseconds{9250};
  set_times(dir / "a.dll", when, when);
  const auto got = files->DateLastModified(dir.path() + "\\a.dll");
  ASSERT_TRUE(got) << got.failure().reason;
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(got->time_since_epoch()).count(),
            1'796'652'309'250LL);

  const auto missing = files->DateLastModified(dir / "missing.dll");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().code, failure_codes().file_not_found);
  EXPECT_TRUE(holds(missing.failure().reason, dir / "missing.dll"));
}

TEST_F(FoldersAndFiles, FileVersionOfARealImageAndEmptyTextForAnythingElse) {
  write_file(dir / "script.sh", "#!/bin/sh\necho MZ\n");
  write_file(dir / "mz", "MZ");
  for (const std::string& path : {dir / "script.sh", dir / "mz", dir.path(), dir / "missing"})
    EXPECT_EQ(files->GetFileVersion(path), "") << path;
  if (pe_fixture("versioned64").empty()) GTEST_SKIP() << "MinGW cross toolchain not found at configure time";
  std::string outside = pe_fixture("versioned64");
  std::replace(outside.begin(), outside.end(), '/', '\\');
  EXPECT_EQ(files->GetFileVersion(outside), "1.2.3.4");
  // Inside the program folder, and cut: read as far as it goes, without a version.
  const std::string whole = read_file(pe_fixture("versioned32"));
  write_file(dir / "whole.exe", whole);
  write_file(dir / "cut.exe", whole.substr(0, whole.size() / 2));
  EXPECT_EQ(files->GetFileVersion(dir.path() + "\\WHOLE.exe"), "1.2.3.4");
  EXPECT_EQ(files->GetFileVersion(dir / "cut.exe"), "");
}

}  // namespace
}  // namespace qor::test
