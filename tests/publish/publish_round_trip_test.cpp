// A release published with qor_publish, served by the bundled update server
// and read back by the client's own steps: the answers' parsers, the version
// check and the download run judge the catalogue. A second run finds nothing
// due; a changed release is shown by the dry run and fetched exactly.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "filetime/local_date.hpp"
#include "platform/file_system.hpp"
#include "platform/http_fetch.hpp"
#include "server/answer_grammar.hpp"
#include "server/http_query.hpp"
#include "tests/install/real_run.hpp"
#include "tests/publish/publish_fixture.hpp"
#include "tests/support/scoped_env.hpp"

#ifndef QOR_PE_FIXTURES
#define QOR_PE_FIXTURES ""
#endif

namespace qor::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::system_clock;
using Texts = std::vector<std::string>;

// A program with the version resource 1.2.3.4, where the cross toolchain
// built one.
std::string versioned_program() {
  const std::string fixture = std::string(QOR_PE_FIXTURES) + "/versioned64.exe";
  return std::string(QOR_PE_FIXTURES).empty() ? "MZ" : read_file(fixture);
}

DateValue local_stamp(const std::string& path) {
  return utc_to_local_date(std::chrono::time_point_cast<system_clock::duration>(last_write(path)));
}

const Texts kDateVersioned = {"a.dll", "Bilder/logo.jpg", "Bilder/neu.jpg", "SQLite3/qor_base.db3"};

// The program folder holds each release file with its bytes, and each
// date-versioned one with its last-write time to the second.
void expect_program_folder_is(const std::string& program, ReleaseFolder& release, const Texts& files) {
  for (const std::string& file : files) {
    ASSERT_TRUE(fs::exists(inside(program, file))) << file;
    EXPECT_EQ(read_file(inside(program, file)), read_file(inside(release.root(), file))) << file;
    if (std::find(kDateVersioned.begin(), kDateVersioned.end(), file) != kDateVersioned.end()) {
      EXPECT_EQ(local_stamp(inside(program, file)), local_stamp(inside(release.root(), file))) << file;
    }
  }
}

std::map<std::string, std::string> published_files(ReleaseFolder& release, const Texts& files) {
  std::map<std::string, std::string> by_name;
  for (const std::string& file : files) {
    by_name[fs::path(file).filename().string()] = read_file(inside(release.root(), file));
  }
  return by_name;
}

class PublishedRelease : public ::testing::Test {
 protected:
  PublishedRelease() {
    release.put("QOR_software.exe", versioned_program());
    release.put("a.dll", "library 1", utc(2026, 7, 15, 8, 30));
    release.put("Bilder/logo.jpg", "logo 1", utc(2026, 11, 30, 23, 59));
    release.put("SQLite3/qor_base.db3", "base data", utc(2026, 3, 31, 22));
    release.put("SQLite3/qor_buch.db3", "empty bookings");
    release.put("Daten/einstellungen.ini", "defaults");
    release.put("Daten/readme.txt", "read me");
    release.put("Daten/SQLite3/kunden.db3", "customers");
    fs::create_directories(release.root() + "/Leer");
    release.write_settings(settings_text(
        "[install-only]\nDaten/einstellungen.ini\n[captions de]\nlab6_0 = Aktualisierung\ncom6_4 = Beenden\n"
        "col_head = 255\n"));
  }

  ReleaseFolder release;
  TempDir program;
  // The client reads German version dates on a machine of another locale.
  ScopedEnv locale{"LC_ALL", "en_US.UTF-8"};
  const Texts files = {"QOR_software.exe",     "a.dll",
                       "Bilder/logo.jpg",      "SQLite3/qor_base.db3",
                       "SQLite3/qor_buch.db3", "Daten/einstellungen.ini",
                       "Daten/readme.txt",     "Daten/SQLite3/kunden.db3"};
};

TEST_F(PublishedRelease, EveryRecordCarriesEveryFieldInTheAnswerOrder) {
  ASSERT_EQ(release.publish().exit_code, 0);
  UpdateServerProcess server(read_file(release.catalogue()), {}, published_files(release, files));
  for (const char* query : {"install", "update"}) {
    const std::string answer =
        http_get_text_or_empty(query_url(server.address(), std::string("art=") + query), FetchLimits{});
    ASSERT_FALSE(answer.empty()) << query;
    for (const std::string_view record : answer::split(answer, "||")) {
      if (record.starts_with("mainprogram=") || record.starts_with("updaprogram=")) continue;
      Texts keys;
      for (const std::string_view field : answer::split(record, "|")) keys.emplace_back(field.substr(0, 3));
      EXPECT_EQ(keys, (Texts{"id=", "fn=", "ve=", "pa=", "ar=", "ja=", "st="})) << record;
    }
  }
  const std::string update = http_get_text_or_empty(query_url(server.address(), "art=update"), FetchLimits{});
  EXPECT_TRUE(update.starts_with("mainprogram=QOR_software.exe||updaprogram=QOR_sync.exe||")) << update;
  EXPECT_NE(update.find("|fn=kunden.db3|ve=|pa=Daten|ar=db3|"), std::string::npos) << update;
  if (!std::string(QOR_PE_FIXTURES).empty()) {
    EXPECT_NE(update.find("|fn=QOR_software.exe|ve=1.2.3.4|pa=|ar=exe|"), std::string::npos) << update;
  }
}

TEST_F(PublishedRelease, TheClientFetchesItWholeNextRunsFindNothingDueAndAChangeIsFetchedExactly) {
  const PublishRun published = release.publish();
  ASSERT_EQ(published.exit_code, 0) << published.err;
  UpdateServerProcess server(read_file(release.catalogue()), {}, published_files(release, files));
  {
    ClientRun run(program.path(), server.address());
    run.form->Image1_Click(0);  // German
    EXPECT_EQ(run.form->Label6(0).Caption.get(), "Aktualisierung");
    EXPECT_EQ(run.form->Label3(3).Caption.get(), "Beenden");
    EXPECT_EQ(run.form->shared().mod.colour_head, 255);
    run.log_in();
    EXPECT_EQ(run.form->shared().mod.ftp_user, "qor");
    EXPECT_EQ(run.form->shared().mod.ftp_password, "pw");
    run.form->steps.list_new_packages();
    EXPECT_EQ(run.form->List2.texts(), (Texts{"Bilder", "Daten", display_path("Daten\\SQLite3"), "Leer", "SQLite3"}));
    run.form->create_missing_folders();
    EXPECT_EQ(run.list_install(), (Texts{"einstellungen.ini", "qor_buch.db3"}));
    run.download();
    EXPECT_EQ(run.list_update(),
              (Texts{"logo.jpg", "kunden.db3", "readme.txt", "QOR_software.exe", "qor_base.db3", "a.dll"}));
    run.download();
    EXPECT_EQ(run.form->shared().mod.main_program, "QOR_software.exe");
    EXPECT_EQ(run.host.texts(), Texts{});
  }
  expect_program_folder_is(program.path(), release, files);
  EXPECT_TRUE(fs::is_directory(program / "Leer"));
  {
    ClientRun next(program.path(), server.address());
    next.log_in();
    EXPECT_EQ(next.list_install(), Texts{});
    EXPECT_EQ(next.list_update(), Texts{}) << "every version as the check reads it";
  }

  // The user's own data, which no publish may replace.
  write_file(program / "SQLite3/qor_buch.db3", "the user's bookings");
  // The next release: one library newer, one picture replaced, one new, one
  // file gone, the shipped bookings and settings changed.
  release.put("a.dll", "library 2", utc(2026, 8, 1, 6));
  release.put("Bilder/logo.jpg", "logo 2", utc(2026, 12, 1, 0));
  release.put("Bilder/neu.jpg", "new picture", utc(2026, 12, 2, 9, 15));
  release.put("SQLite3/qor_buch.db3", "empty bookings, new layout");
  release.put("Daten/einstellungen.ini", "new defaults");
  fs::remove(release.root() + "/Daten/readme.txt");

  const std::string before = read_file(server.published("catalogue.json"));
  const PublishRun dry = release.dry_run(server.published("catalogue.json"));
  EXPECT_EQ(dry.exit_code, 0) << dry.err;
  EXPECT_EQ(read_file(server.published("catalogue.json")), before) << "a dry run writes nothing";
  Texts changes;
  for (std::istringstream in(dry.out); std::getline(in, changes.emplace_back());) {
  }
  changes.pop_back();
  ASSERT_EQ(changes.size(), 10u) << dry.out;
  EXPECT_EQ(changes[0], "changed   Daten\\einstellungen.ini  (content (8 -> 12 bytes))");
  EXPECT_EQ(changes[1], "changed   SQLite3\\qor_buch.db3  (content (14 -> 26 bytes))");
  EXPECT_TRUE(changes[2].starts_with("changed   Bilder\\logo.jpg  (ve \"")) << changes[2];
  EXPECT_TRUE(changes[3].starts_with("added     Bilder\\neu.jpg  (jpg, ve=")) << changes[3];
  EXPECT_EQ(changes[4], "unchanged Daten\\SQLite3\\kunden.db3");
  EXPECT_EQ(changes[5], "unchanged QOR_software.exe");
  EXPECT_EQ(changes[6], "unchanged SQLite3\\qor_base.db3");
  EXPECT_TRUE(changes[7].starts_with("changed   a.dll  (ve \"")) << changes[7];
  EXPECT_EQ(changes[8], "removed   Daten\\readme.txt");
  EXPECT_EQ(changes[9], "1 added, 4 changed, 1 removed, 3 unchanged");

  // Published: the files first, then the catalogue.
  for (const char* file :
       {"a.dll", "Bilder/logo.jpg", "Bilder/neu.jpg", "SQLite3/qor_buch.db3", "Daten/einstellungen.ini"}) {
    write_file(server.published(fs::path(file).filename().string()), read_file(inside(release.root(), file)));
  }
  fs::remove(server.published("readme.txt"));
  ASSERT_EQ(
      release.run({"--settings", release.settings(), "--output", server.published("catalogue.json"), release.root()})
          .exit_code,
      0);
  {
    ClientRun run(program.path(), server.address());
    run.log_in();
    EXPECT_EQ(run.list_install(), Texts{});
    EXPECT_EQ(run.list_update(), (Texts{"logo.jpg", "neu.jpg", "a.dll"}));
    run.download();
    EXPECT_EQ(run.host.texts(), Texts{});
  }
  expect_program_folder_is(program.path(), release, {"a.dll", "Bilder/logo.jpg", "Bilder/neu.jpg"});
  EXPECT_EQ(read_file(program / "SQLite3/qor_buch.db3"), "the user's bookings");
  EXPECT_EQ(read_file(program / "Daten/einstellungen.ini"), "defaults");
  ClientRun last(program.path(), server.address());
  last.log_in();
  EXPECT_EQ(last.list_install(), Texts{});
  EXPECT_EQ(last.list_update(), Texts{});
}

}  // namespace
}  // namespace qor::test
