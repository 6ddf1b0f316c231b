// The local version check against real files in a temporary program folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "filetime/filetime_steps.hpp"
#include "install/general_date.hpp"
#include "tests/install/install_fixture.hpp"
#include "tests/support/scoped_env.hpp"

namespace qor {
namespace {

using test::InstallFixture;
using test::ScopedEnv;

class VersionCheck : public ::testing::Test, public InstallFixture {
 protected:
  VersionCheck() : locale_("LC_ALL", "de_DE.UTF-8") {}

  void place(const std::string& relative, const DateValue* stamp = nullptr) {
    std::filesystem::create_directories(std::filesystem::path(at(relative)).parent_path());
    test::write_file(at(relative), "x");
    if (stamp) {
      ASSERT_TRUE(set_file_write_time(*fs, at(relative), *stamp, true));
    }
  }
  std::vector<int> rows() const {
    std::vector<int> r;
    r.reserve(static_cast<std::size_t>(form->List3.ListCount()));
    for (int i = 0; i < form->List3.ListCount(); ++i) r.push_back(form->List3.ItemData(i));
    return r;
  }

  const DateValue stamp_{2026, 12, 7, 14, 5, 9};
  // The stamp in the session's form ("07.12.2026 14:05:09" in German), as
  // the platform's locale data gives it.
  std::string stamp_text() const { return general_date_text(stamp_, user_date_form()); }

 private:
  ScopedEnv locale_;
};

std::string record(const std::string& fn, const std::string& ve, const std::string& ar, const std::string& pa = "",
                   const std::string& st = "0") {
  return "id=1|fn=" + fn + "|ve=" + ve + "|pa=" + pa + "|ar=" + ar + "|ja=0|st=" + st;
}

TEST_F(VersionCheck, InstallListTakesEveryMissingFileAndNoPresentOne) {
  place("present.dll", &stamp_);
  place("qor_data_1.db3");
  build_lists({record("present.dll", "01.01.2000", "dll"), record("missing.exe", "1.0.0.0", "exe"),
               record("qor_buch.db3", "", "db3"), record("qor_data_1.db3", "", "db3")},
              0);
  EXPECT_EQ(due(), (std::vector<std::string>{"missing.exe", "qor_buch.db3"}));
  EXPECT_EQ(rows(), (std::vector<int>{1, 2}));
  build_lists({record("missing.exe", "1.0.0.0", "exe")}, 2);  // no list is built in another mode
  EXPECT_TRUE(due().empty());
}

TEST_F(VersionCheck, UpdateListComparesTheLocalVersionTextByKindExactly) {
  for (const char* f : {"same.dll", "other.dll", "pic.jpg", "qor_base.db3", "Upper.dll", "QOR_BASE.db3"})
    place(f, &stamp_);
  for (const char* f :
       {"app.exe", "old.exe", "Big.exe", "notes.db3", "empty.db3", "readme.txt", "qor_buch.db3", "qor_data_1.db3"})
    place(f);
  for (const char* f : {"app.exe", "old.exe", "Big.exe"}) fs->versions[at(f)] = "1.2.3.4";

  build_lists({record("same.dll", stamp_text(), "dll"),            // 0 current
               record("other.dll", "08.12.2026 14:05:09", "dll"),  // 1 due
               record("pic.jpg", stamp_text(), "jpg"),             // 2 current
               record("qor_base.db3", stamp_text(), "db3"),        // 3 current
               record("app.exe", "1.2.3.4", "exe"),                // 4 current
               record("old.exe", "1.2.3.5", "exe"),                // 5 due
               record("notes.db3", "1", "db3"),                    // 6 due: empty local text
               record("empty.db3", "", "db3"),                     // 7 current: both empty
               record("readme.txt", "", "txt"),                    // 8 current
               record("Upper.dll", stamp_text(), "DLL"),           // 9 due: kind in other case
               record("Big.exe", "1.2.3.4", "EXE"),                // 10 due
               record("QOR_BASE.db3", stamp_text(), "db3"),        // 11 due: name in other case
               record("qor_buch.db3", "2", "db3"),                 // 12 protected
               record("qor_data_1.db3", "2", "db3"),               // 13 protected
               record("new.jpg", stamp_text(), "jpg"),             // 14 due: missing
               record("qor_data_1.db3", "2", "db3", "gone")},      // 15 due: a missing user database
              1);
  EXPECT_EQ(rows(), (std::vector<int>{1, 5, 6, 9, 10, 11, 14, 15}));
}

TEST_F(VersionCheck, LooksInTheSubPathAndInTheSQLite3FolderWhereTheRunPutsTheFile) {
  place("sub/deeper/a.dll", &stamp_);
  place("b.dll", &stamp_);  // sits in the program folder, not in "sub"
  place("SQLite3/qor_base.db3", &stamp_);
  place("SQLite3/qor_buch.db3");
  place("data/SQLite3/qor_data_1.db3");
  place("c.dll", &stamp_);  // outside SQLite3, where a record with st=10 does not look

  build_lists({record("a.dll", stamp_text(), "dll", "sub\\deeper"),    // 0 current
               record("b.dll", stamp_text(), "dll", "sub"),            // 1 due: not in sub
               record("qor_base.db3", stamp_text(), "db3", "", "10"),  // 2 current in SQLite3
               record("qor_buch.db3", "9", "db3", "", "10"),           // 3 protected in SQLite3
               record("qor_data_1.db3", "9", "db3", "data", "10"),     // 4 protected in data/SQLite3
               record("c.dll", stamp_text(), "dll", "", "10"),         // 5 due: not in SQLite3
               record("c.dll", stamp_text(), "dll", "", "ten")},       // 6 current: no integer, placement 0
              1);
  EXPECT_EQ(rows(), (std::vector<int>{1, 5}));
}

// Where letter case does not tell names apart, the user's database in any
// spelling is theirs, in the folder and in SQLite3/ alike; a package folder
// and a file in another case are the ones there.
TEST_F(VersionCheck, NamesAreMatchedRegardlessOfLetterCase) {
  place("QOR_Buch.db3");
  place("SQLite3/Qor_Data_1.DB3");
  place("Bilder/Logo.JPG", &stamp_);
  build_lists({record("qor_buch.db3", "2", "db3"),                           // 0 the user's
               record("QOR_BUCH.DB3", "2", "db3"),                           // 1 the user's
               record("qor_data_1.db3", "2", "db3", "", "10"),               // 2 the user's, in SQLite3
               record("logo.jpg", stamp_text(), "jpg", "BILDER"),            // 3 current
               record("logo.jpg", "08.12.2026 14:05:09", "jpg", "bilder")},  // 4 due: another date
              1);
  EXPECT_EQ(rows(), (std::vector<int>{4}));
}

// A folder that leaves the program folder is never offered; a file name
// that names no file cannot be there, so it is due (and refused later).
TEST_F(VersionCheck, AFolderOutsideTheProgramFolderIsNeverDueAFileNameThatNamesNoFileAlways) {
  build_lists({record("../evil.dll", "", "dll"), record("evil.dll", "", "dll", "../x"),
               record("evil.dll", "", "dll", "C:\\etc"), record("evil.dll", "", "dll", "c:"),
               record("evil.dll", "", "dll", "sub\\..\\..\\x"), record("a/b.dll", "", "dll"),
               record("a\\b.dll", "", "dll"), record("..", "", "dll"), record("ok.dll", "", "dll", "sub/..x")},
              0);
  EXPECT_EQ(due(), (std::vector<std::string>{"../evil.dll", "a/b.dll", "a\\b.dll", "..", "ok.dll"}));
  place("a/b.dll");  // a file at that path does not make the name one
  build_lists({record("a/b.dll", "", "txt")}, 1);
  EXPECT_EQ(due(), std::vector<std::string>{"a/b.dll"});
}

}  // namespace
}  // namespace qor
