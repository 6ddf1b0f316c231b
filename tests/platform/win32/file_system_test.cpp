// The file-system object on the Windows API: what exists, folders, times,
// and the names Windows would read otherwise than they are written.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.hpp"
#include "platform/win32/file_time.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

using test::TempDir;
using test::write_file;

TEST(LocalFileSystem, TellsFilesFromFoldersWhateverTheSeparatorsAndCase) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "Paket.db3", "x");
  ASSERT_TRUE(fs->CreateFolder(dir / "Daten"));

  EXPECT_TRUE(fs->FolderExists(dir / "Daten"));
  EXPECT_TRUE(fs->FolderExists(dir / "Daten\\"));
  EXPECT_TRUE(fs->FolderExists(local_path(dir.path()) + "/Daten/"));
  EXPECT_FALSE(fs->FolderExists(dir / "Paket.db3"));
  EXPECT_FALSE(fs->FolderExists(dir / "nichts"));

  EXPECT_TRUE(fs->FileExists(dir / "Paket.db3"));
  EXPECT_TRUE(fs->FileExists(local_path(dir / "Paket.db3")));
  // The platform's file systems ignore case, so the client does too.
  EXPECT_TRUE(fs->FileExists(dir / "PAKET.DB3"));
  EXPECT_TRUE(fs->FolderExists(dir / "daten"));
  EXPECT_FALSE(fs->FileExists(dir / "Daten"));
  EXPECT_FALSE(fs->FileExists(dir / "Paket.db3\\"));
  EXPECT_FALSE(fs->FileExists(dir / "nichts"));
}

TEST(LocalFileSystem, PathsAreUtf8AndNamesArriveAsWritten) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  const std::string folder = dir / "Bilder \xC3\x84rger \xE2\x82\xAC";  // "Bilder Ärger €"
  const std::string file = folder +
                           "\\\xC3\xBC"
                           "bersicht \xCE\xA9.txt";  // "übersicht Ω.txt"
  ASSERT_TRUE(fs->CreateFolder(folder));
  auto replacement = fs->replace_file(file);
  ASSERT_TRUE(replacement) << replacement.failure().reason;
  ASSERT_TRUE((*replacement)->commit(Placement::Replace));

  // The name as the system lists it, in UTF-16.
  WIN32_FIND_DATAW found{};
  const std::unique_ptr<void, decltype(&FindClose)> find(FindFirstFileW(win32::to_wide(file).c_str(), &found),
                                                         &FindClose);
  ASSERT_NE(find.get(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::wstring(found.cFileName), L"\u00FCbersicht \u03A9.txt");
  EXPECT_TRUE(fs->FileExists(file));
  EXPECT_TRUE(fs->FolderExists(folder));
}

TEST(LocalFileSystem, CreatesOneFolderOrSaysWhyNot) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  EXPECT_TRUE(fs->CreateFolder(dir / "neu"));
  // Someone else was quicker: the folder is there, which is all that counts.
  EXPECT_TRUE(fs->CreateFolder(dir / "neu"));

  const Status nested = fs->CreateFolder(dir / "fehlt\\neu");
  ASSERT_FALSE(nested);
  EXPECT_EQ(nested.failure().code, ERROR_PATH_NOT_FOUND);
  EXPECT_NE(nested.failure().reason.find("fehlt/neu"), std::string::npos) << nested.failure().reason;

  write_file(dir / "datei", "x");
  const Status over_file = fs->CreateFolder(dir / "datei");
  ASSERT_FALSE(over_file);
  EXPECT_EQ(over_file.failure().code, ERROR_ALREADY_EXISTS);
}

// Look-ups in a folder that keeps changing, by the client and by others:
// the client's own folders and files are found in any letter case, and what
// someone else makes, renames or removes meanwhile counts at once.
TEST(LocalFileSystem, LookUpsInAChangingFolderSeeEveryChange) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  ASSERT_TRUE(CreateDirectoryW(win32::to_wide(dir / "Pakete").c_str(), nullptr));
  const std::string pakete = dir.path() + "\\pakete\\";
  const auto outside = [&dir](const std::string& name) { return win32::to_wide(dir / ("Pakete\\" + name)); };
  EXPECT_FALSE(fs->FolderExists(pakete + "neu"));
  std::vector<std::string> expected;
  for (int i = 0; i < 10; ++i) {
    const std::string n = std::to_string(i);
    SCOPED_TRACE(n);
    ASSERT_TRUE(fs->CreateFolder(pakete + "Neu" + n));
    EXPECT_TRUE(fs->FolderExists(pakete + "NEU" + n));
    EXPECT_TRUE(fs->CreateFolder(pakete + "neu" + n));
    auto placed = fs->replace_file(pakete + "Datei" + n + ".txt");
    ASSERT_TRUE(placed && (*placed)->write("first", 5));
    ASSERT_TRUE((*placed)->commit(Placement::OnlyIfAbsent));
    EXPECT_TRUE(fs->FileExists(pakete + "DATEI" + n + ".TXT"));

    ASSERT_TRUE(CreateDirectoryW(outside("EXTERN" + n).c_str(), nullptr));
    EXPECT_TRUE(fs->FolderExists(pakete + "extern" + n));
    EXPECT_TRUE(fs->CreateFolder(pakete + "Extern" + n));
    auto download = fs->replace_file(pakete + "kunden" + n + ".db3");
    ASSERT_TRUE(download && (*download)->write("server", 6));
    write_file(dir / ("Pakete\\KUNDEN" + n + ".DB3"), "user");
    const auto committed = (*download)->commit(Placement::OnlyIfAbsent);
    ASSERT_TRUE(committed);
    EXPECT_EQ(*committed, Committed::PlaceTaken);
    EXPECT_EQ(test::read_file(dir / ("Pakete\\KUNDEN" + n + ".DB3")), "user");

    ASSERT_TRUE(MoveFileW(outside("Neu" + n).c_str(), outside("Alt" + n).c_str()));
    EXPECT_FALSE(fs->FolderExists(pakete + "neu" + n));
    EXPECT_TRUE(fs->FolderExists(pakete + "ALT" + n));
    ASSERT_TRUE(RemoveDirectoryW(outside("Alt" + n).c_str()));
    EXPECT_FALSE(fs->FolderExists(pakete + "alt" + n));
    for (const std::string& name : {"Datei" + n + ".txt", "EXTERN" + n, "KUNDEN" + n + ".DB3"})
      expected.push_back(name);
  }
  std::vector<std::string> names = test::file_names(dir / "Pakete");
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

TEST(LocalFileSystem, LastModifiedIsTheFilesLastWriteTime) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "a.dll", "x");
  // 2026-12-07 14:05:09 UTC and 250 ms
  const std::uint64_t ticks = 134'411'259'092'500'000ULL;
  const ::FILETIME stamp{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  {
    const win32::UniqueHandle file(CreateFileW(win32::to_wide(dir / "a.dll").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &stamp));
  }

  const auto written = fs->DateLastModified(dir / "a.dll");
  ASSERT_TRUE(written) << written.failure().reason;
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(written->time_since_epoch()).count(),
            1'796'652'309'250LL);
  const auto missing = fs->DateLastModified(dir / "fehlt.dll");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().code, ERROR_FILE_NOT_FOUND);
}

// A trailing dot or space is dropped, "a:b" is a stream of "a", CON and its
// kin are devices in every folder: such names would write somewhere else
// than they say (a protected database under "qor_buch.db3."), so no write
// goes through them and nothing is created.
TEST(LocalFileSystem, NamesWindowsWouldReadOtherwiseAreNotWritten) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "qor_buch.db3", "the user's own data");
  const char* aliases[] = {
      "qor_buch.db3.", "qor_buch.db3 ", "qor_buch.db3:stream", "CON", "nul.txt", "Com1.dll", "lpt9", "aux .db3", "..."};
  for (const char* name : aliases) {
    SCOPED_TRACE(name);
    const auto replacement = fs->replace_file(dir / name);
    ASSERT_FALSE(replacement);
    EXPECT_EQ(replacement.failure().code, ERROR_INVALID_NAME);
    EXPECT_FALSE(fs->CreateFolder(dir / name));
    EXPECT_FALSE(fs->CreateFolder(dir / (std::string(name) + "\\unter")));
    EXPECT_FALSE(fs->set_last_write_time(dir / name, qor::FILETIME{0, 0x01D00000}));
  }
  EXPECT_EQ(test::read_file(dir / "qor_buch.db3"), "the user's own data");
  EXPECT_EQ(test::file_names(dir.path()), std::vector<std::string>{"qor_buch.db3"});
  // Ordinary names with dots and the drive's colon are fine.
  EXPECT_TRUE(fs->CreateFolder(dir / "v1.2.3"));
  EXPECT_TRUE(fs->replace_file(dir / "v1.2.3\\.hidden.cfg"));
  EXPECT_TRUE(fs->replace_file(dir / "console.log"));
}

TEST(LocalFileSystem, ProgramsNeedNothingToStart) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "a.exe", "MZ");
  EXPECT_TRUE(fs->make_startable(dir / "a.exe"));
  EXPECT_EQ(GetFileAttributesW(win32::to_wide(dir / "a.exe").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

}  // namespace
}  // namespace qor
