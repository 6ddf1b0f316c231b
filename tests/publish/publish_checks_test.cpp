// The checks before anything is published: each fault is an error naming
// its file and nothing is written; what the client only installs when
// missing is a warning and publishing goes on.
#include <gtest/gtest.h>

#include <filesystem>

#include "filetime/local_date.hpp"
#include "install/general_date.hpp"
#include "install/version_date.hpp"
#include "publish/catalogue.hpp"
#include "publish/release_names.hpp"
#include "tests/publish/publish_fixture.hpp"
#include "tests/support/scoped_env.hpp"

namespace qor::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// A release that passes: the main program and a date-versioned library.
void sound_release(ReleaseFolder& release) {
  release.put("QOR_software.exe", "MZ program");
  release.put("a.dll", "library", utc(2026, 7, 15));
}

TEST(PublishChecks, ASoundReleaseIsWrittenAndRefusalsWriteNothing) {
  ReleaseFolder release;
  sound_release(release);
  const PublishRun run = release.publish();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(fs::exists(release.catalogue()));
  EXPECT_EQ(run.lines_starting("error"), Lines{});

  ReleaseFolder broken;
  broken.put("a.dll", "library");  // no main program
  const PublishRun refused = broken.publish();
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_FALSE(fs::exists(broken.catalogue()));
}

// The client fetches by bare name from one FTP folder, and FTP servers on
// Windows match names regardless of letter case.
TEST(PublishChecks, OneNameInTwoFoldersInAnyLetterCaseIsAnErrorNamingBoth) {
  ReleaseFolder release;
  sound_release(release);
  release.put("Daten/A.DLL", "other library");
  release.put("Bilder/logo.jpg", "one");
  release.put("Daten/Alt/logo.jpg", "two");
  release.put("Daten/catalogue.json", "a file named as the catalogue");
  const PublishRun run = release.publish();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.lines_starting("error"),
            (Lines{"error: Daten/Alt/logo.jpg: the same name as Bilder/logo.jpg: the client fetches both by name from "
                   "one FTP folder",
                   "error: Daten/catalogue.json: the catalogue is published under this name beside the files",
                   "error: a.dll: the same name as Daten/A.DLL: the client fetches both by name from one FTP folder"}));
}

TEST(PublishChecks, NamesTheClientOrWindowsWouldNotTakeAreRefusedWithTheirReason) {
  for (const char* name :
       {"a\x01.dll",   "a\t.txt", "..",      ".",       "",     "C:",       "a:b.txt",  "a|b.dll",
        "x?.jpg",      "a*.dll",  "a<b",     "a>b",     "a\"b", "a\\b.dll", "a/b.dll",  "name.",
        "name ",       "CON",     "con.txt", "NUL.db3", "COM1", "lpt9.dll", "AUX .txt", ".qor-download-AbC123",
        "\xff\xfe.dll"}) {
    EXPECT_TRUE(publish::refused_name(name).has_value()) << name;
  }
  for (const char* name : {"a.dll", ".hidden", "CONSOLE.txt", "COM10", "Größe.jpg", "a b.txt", "qor_base.db3",
                           ".qor-download-AbC12", "..a"}) {
    EXPECT_FALSE(publish::refused_name(name).has_value()) << name << ": " << *publish::refused_name(name);
  }
}

#ifndef _WIN32
// Names Linux holds but Windows and the answers cannot, and links, which the
// client does not follow: named (a control character shown as its code, so
// a name cannot write lines of its own), and the rest still scanned.
TEST(PublishChecks, RefusedNamesAndLinksInTheReleaseAreNamedWithTheirFolder) {
  ReleaseFolder release;
  sound_release(release);
  release.put("Daten/a:b.txt", "x");
  release.put("Daten/line\nbreak.dll", "x");
  release.put("Bad./inner.dll", "x");
  fs::create_symlink("a.dll", release.root() + "/link.dll");
  const PublishRun run = release.publish();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.lines_starting("error"),
            (Lines{"error: Bad.: Windows drops a final dot or space from a name",
                   "error: Daten/a:b.txt: \":\" cannot stand in a name on Windows",
                   "error: Daten/line\\x0abreak.dll: a control character in the name",
                   "error: link.dll: a link: put the file or folder itself into the release"}));
}
#endif

TEST(PublishChecks, AMainProgramNotAtTheTopOfTheReleaseIsAnError) {
  ReleaseFolder missing;
  missing.put("a.dll", "library");
  ReleaseFolder below;
  below.put("Programm/QOR_software.exe", "MZ");
  ReleaseFolder other_case;
  other_case.put("qor_software.exe", "MZ");
  for (ReleaseFolder* release : {&missing, &below, &other_case}) {
    const PublishRun run = release->publish();
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.lines_starting("error"),
              Lines{"error: QOR_software.exe: the main program is not in the release folder (at its top)"});
  }
}

TEST(PublishChecks, AReleaseFolderThatCannotBeReadIsNamed) {
  ReleaseFolder release;
  const std::string nowhere = release.root() + "/nowhere";
  const PublishRun run = release.run({"--settings", release.settings(), "--output", release.catalogue(), nowhere});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.lines_starting("error: " + nowhere + ": ").size(), 1u) << run.err;
  release.put("plain-file", "not a folder");
  const PublishRun on_file =
      release.run({"--settings", release.settings(), "--output", release.catalogue(), release.root() + "/plain-file"});
  EXPECT_EQ(on_file.exit_code, 1);
  EXPECT_FALSE(fs::exists(release.catalogue()));
}

// A last-write time the client can neither compare as a German date nor
// stamp: before 1601 in UTC (no FILETIME), after 9999 (no four-digit year).
// Berlin lies east of UTC: its first minutes of 1601 are still 1600 in UTC.
TEST(PublishChecks, AVersionDateIsWrittenOnlyWhereTheClientCanReadAndStampIt) {
  const ScopedEnv berlin("TZ", "Europe/Berlin");
  const auto now = utc(2026, 12, 8);
  EXPECT_FALSE(publish::version_date_text({1600, 12, 31, 23, 59, 59}, now).has_value());
  EXPECT_FALSE(publish::version_date_text({1601, 1, 1, 0, 30, 0}, now).has_value());
  EXPECT_EQ(publish::version_date_text({1601, 1, 1, 1, 0, 0}, now), "01.01.1601 01:00:00");
  EXPECT_EQ(publish::version_date_text({9999, 12, 31, 23, 59, 59}, now), "31.12.9999 23:59:59");
  EXPECT_FALSE(publish::version_date_text({10000, 1, 1, 12, 0, 0}, now).has_value());
  EXPECT_FALSE(publish::version_date_text({2026, 2, 30, 12, 0, 0}, now).has_value());
  // Midnight as the client writes it: the date alone.
  EXPECT_EQ(publish::version_date_text({2026, 12, 1, 0, 0, 0}, now), "01.12.2026");
}

// The version date is the client's local time of the last write: the text
// the client's own check reads as current for that file, whatever its locale.
TEST(PublishChecks, TheVersionDateIsTheLocalTimeTheClientComparesWith) {
  const ScopedEnv berlin("TZ", "Europe/Berlin");
  ReleaseFolder release;
  sound_release(release);
  const PublishRun run = release.publish();
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string catalogue = read_file(release.catalogue());
  const std::string local = general_date_text(utc_to_local_date(utc(2026, 7, 15)), fixed_date_form("de"));
  EXPECT_NE(catalogue.find("\"fn\": \"a.dll\", \"ve\": \"" + local + "\""), std::string::npos) << catalogue;
  EXPECT_EQ(catalogue.find("15.07.2026 12:00:00"), std::string::npos) << "UTC is not the client's time";
  for (const char* locale : {"de_DE.UTF-8", "en_US.UTF-8", "C"}) {
    const ScopedEnv session("LC_ALL", locale);
    EXPECT_TRUE(is_version_date_of(local, utc(2026, 7, 15))) << locale;
  }
}

TEST(PublishChecks, KindsTheClientDoesNotCompareAreWarnedAboutButPublished) {
  ReleaseFolder release;
  sound_release(release);
  release.put("Daten/readme.txt", "x");
  release.put("Daten/kunden.db3", "x");
  release.put("SQLite3/qor_buch.db3", "the user's own");  // never replaced: no warning
  release.put("Daten/einstellungen.ini", "x");            // install-only: no warning
  release.put("LIZENZ", "x");                             // no kind at all
  release.write_settings(settings_text("[install-only]\nDaten\\einstellungen.ini\n"));
  const PublishRun run = release.publish();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.lines_starting("warning"),
            (Lines{"warning: Daten/kunden.db3: files of the kind \"db3\" are installed when missing, never updated; "
                   "a changed copy needs a new name",
                   "warning: Daten/readme.txt: files of the kind \"txt\" are installed when missing, never updated; "
                   "a changed copy needs a new name",
                   "warning: LIZENZ: files of the kind \"\" are installed when missing, never updated; a changed "
                   "copy needs a new name",
                   "warning: QOR_software.exe: no version resource: the client installs it when missing and never "
                   "replaces it"}));
  EXPECT_TRUE(fs::exists(release.catalogue()));
}

// A typo in the settings would otherwise pass silently into what every
// client is told.
TEST(PublishChecks, SettingsTheClientCouldNotTakeAreErrorsNamingTheirLine) {
  ReleaseFolder release;
  sound_release(release);
  release.write_settings(
      settings_text("[captions de]\nlab6_0 = Titel\nlab6_9 = Tippfehler\ncol_head = 0xFF\ncol_list = 16777215\n"
                    "com6_1 = A|B\n[transfer]\nse = ftp|host\nuser = qor\n[install-only]\nnicht/da.ini\n[programm]\n"
                    "[program]\ncharset = latin1\n"));
  const PublishRun run = release.publish();
  EXPECT_EQ(run.exit_code, 1);
  const std::string s = release.settings();
  EXPECT_EQ(run.lines_starting("error"),
            (Lines{"error: " + s + ":12: unknown caption key \"lab6_9\"",
                   "error: " + s + ":13: the colour col_head is no decimal number (0x00BBGGRR as a decimal)",
                   "error: " + s + ":15: \"|\" cannot stand in a value the client is told",
                   "error: " + s + ":17: \"|\" cannot stand in a value the client is told",
                   "error: " + s + ":18: unknown key \"user\" in [transfer] (se fo us pa)",
                   "error: " + s + ":21: unknown section [programm]",
                   "error: " + s + ":23: charset is utf-8 or windows-1252, not \"latin1\"",
                   "error: nicht/da.ini: listed as install-only but not in the release"}));
}

// With windows-1252 answers, a text the code page lacks would make every
// answer fail on the server.
TEST(PublishChecks, TextsWindows1252CannotHoldAreErrorsWhenTheAnswersUseIt) {
  ReleaseFolder release;
  sound_release(release);
  release.put("Bilder/Größe.jpg", "x", utc(2026, 1, 1));
  release.put("Bilder/日本.jpg", "x", utc(2026, 1, 1));
  release.write_settings(settings_text("[program]\ncharset = windows-1252\n[captions de]\nlab6_0 = Übersicht ✓\n"));
  const PublishRun run = release.publish();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.lines_starting("error"),
            (Lines{"error: captions de lab6_0: \"Übersicht ✓\" cannot be written in windows-1252",
                   "error: Bilder/日本.jpg: \"日本.jpg\" cannot be written in windows-1252"}));
}

TEST(PublishCommand, UsageAndFilesThatCannotBeReadHaveTheirOwnExitCodes) {
  ReleaseFolder release;
  sound_release(release);
  EXPECT_EQ(release.run({}).exit_code, 2);
  EXPECT_EQ(release.run({"--settings", release.settings(), release.root()}).exit_code, 2);  // no --output
  EXPECT_EQ(release.run({"--settings", release.settings(), "--dry-run", release.root()}).exit_code, 2);
  EXPECT_EQ(release.run({"--bogus", release.root()}).exit_code, 2);
  EXPECT_EQ(release.run({"--help"}).exit_code, 0);
  EXPECT_EQ(release.run({"--settings", release.root() + "/none.ini", "--output", release.catalogue(), release.root()})
                .exit_code,
            3);
  EXPECT_EQ(release
                .run({"--settings", release.settings(), "--output", release.root() + "/no/such/folder/c.json",
                      release.root()})
                .exit_code,
            3);
  write_file(release.catalogue(), "{\"install\": [1, 2]");
  const PublishRun broken = release.dry_run(release.catalogue());
  EXPECT_EQ(broken.exit_code, 3);
  EXPECT_NE(broken.err.find("the published catalogue"), std::string::npos) << broken.err;
}

}  // namespace
}  // namespace qor::test
