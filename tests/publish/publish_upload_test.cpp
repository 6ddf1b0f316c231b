// qor_publish --upload against the bundled FTP server with uploads allowed:
// the order a client can rely on (files under temporary names, renamed into
// place, then the catalogue, then removals), an upload broken off midway
// that leaves the published set as it was and is finished by the next call,
// and names that could add commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/ftp_transfer.hpp"
#include "publish/publish_command.hpp"
#include "tests/publish/publish_fixture.hpp"

namespace qor::test {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

std::size_t position(const Texts& texts, const std::string& text) {
  return static_cast<std::size_t>(std::find(texts.begin(), texts.end(), text) - texts.begin());
}

bool temporary(const std::string& name) { return name.starts_with("~qor-upload-"); }

void fill(ReleaseFolder& release) {
  release.put("QOR_software.exe", "MZ");
  release.put("a.dll", std::string(300000, 'a'), utc(2026, 7, 15, 8));
  release.put("Bilder/logo.jpg", "picture", utc(2026, 7, 15, 8));
  release.put("SQLite3/qor_base.db3", "base", utc(2026, 7, 15, 8));
}

TEST(Upload, FilesGoUpUnderTemporaryNamesAreRenamedIntoPlaceAndTheCatalogueComesLast) {
  ReleaseFolder release;
  fill(release);
  FtpFolder ftp;
  ftp.start();
  const PublishRun run = upload(release, ftp, {}, true);
  ASSERT_EQ(run.exit_code, publish::kPublished) << run.err;

  EXPECT_EQ(ftp.names(), (Texts{"QOR_software.exe", "a.dll", "catalogue.json", "logo.jpg", "qor_base.db3"}));
  for (const char* file : {"QOR_software.exe", "a.dll", "Bilder/logo.jpg", "SQLite3/qor_base.db3"})
    EXPECT_EQ(read_file(ftp.file(fs::path(file).filename().string())), read_file(inside(release.root(), file))) << file;
  EXPECT_EQ(read_file(ftp.file("catalogue.json")), read_file(release.catalogue()));
  EXPECT_EQ(read_file(release.catalogue()).find(kUploadPassword), std::string::npos);

  // Every file is whole under its temporary name before the first one is
  // renamed; the catalogue goes up after the last rename.
  const Texts changes = ftp.changes();
  std::size_t last_store = 0, first_rename = changes.size(), renames = 0;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const std::string& c = changes[i];
    if (c.starts_with("STOR ") && c != "STOR ~qor-upload-catalogue.json") {
      EXPECT_TRUE(temporary(c.substr(5))) << c;
      last_store = i;
    }
    if (c.starts_with("RNFR ") && c != "RNFR ~qor-upload-catalogue.json") {
      first_rename = std::min(first_rename, i);
      ASSERT_LT(i + 1, changes.size());
      EXPECT_TRUE(changes[i + 1].starts_with("RNTO ") && !temporary(changes[i + 1].substr(5))) << changes[i + 1];
      ++renames;
    }
  }
  EXPECT_EQ(renames, 4u);
  EXPECT_LT(last_store, first_rename);
  ASSERT_GE(changes.size(), 3u);
  EXPECT_EQ(Texts(changes.end() - 3, changes.end()),
            (Texts{"STOR ~qor-upload-catalogue.json", "RNFR ~qor-upload-catalogue.json", "RNTO catalogue.json"}));
  // On a terminal, a line per file with its bytes and rate.
  EXPECT_NE(run.out.find("a.dll  300000 bytes  "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("KiB/s"), std::string::npos) << run.out;

  // Nothing changed: nothing is sent again, not even the catalogue.
  const std::size_t before = ftp.changes().size();
  const PublishRun again = upload(release, ftp);
  EXPECT_EQ(again.exit_code, publish::kPublished) << again.err;
  EXPECT_EQ(ftp.changes().size(), before);
  EXPECT_EQ(again.out, "");
}

TEST(Upload, OneBrokenOffLeavesThePublishedSetAsItWasAndTheNextCallFinishesIt) {
  ReleaseFolder release;
  fill(release);
  FtpFolder ftp;
  ftp.start();
  ASSERT_EQ(upload(release, ftp).exit_code, publish::kPublished);
  const std::string first_catalogue = read_file(ftp.file("catalogue.json"));
  const std::string first_library = read_file(ftp.file("a.dll"));

  release.put("Bilder/neu.jpg", "new picture", utc(2026, 8, 1, 8));
  release.put("a.dll", std::string(300000, 'b'), utc(2026, 8, 1, 8));
  ftp.start({"--break-upload-after", "100000", "--breaks", "1"});
  const PublishRun broken = upload(release, ftp);
  EXPECT_EQ(broken.exit_code, publish::kUploadFailed);
  EXPECT_NE(broken.err.find("the published files are as they were"), std::string::npos) << broken.err;
  EXPECT_EQ(broken.out, "");  // not a terminal: quiet
  EXPECT_EQ(read_file(ftp.file("catalogue.json")), first_catalogue);
  EXPECT_EQ(read_file(ftp.file("a.dll")), first_library);
  EXPECT_FALSE(fs::exists(ftp.file("neu.jpg")));
  const Texts sent_before_the_break = ftp.changes();
  ASSERT_EQ(sent_before_the_break.size(), 2u);  // the picture whole, the library in part
  EXPECT_TRUE(sent_before_the_break[0].ends_with("-neu.jpg")) << sent_before_the_break[0];

  const PublishRun finished = upload(release, ftp);
  ASSERT_EQ(finished.exit_code, publish::kPublished) << finished.err;
  EXPECT_EQ(read_file(ftp.file("a.dll")), std::string(300000, 'b'));
  EXPECT_EQ(read_file(ftp.file("neu.jpg")), "new picture");
  EXPECT_EQ(read_file(ftp.file("catalogue.json")), read_file(release.catalogue()));
  Texts resumed = ftp.changes();
  resumed.erase(resumed.begin(), resumed.begin() + 2);
  // The picture that went up whole is not sent again, only renamed.
  EXPECT_EQ(std::count_if(resumed.begin(), resumed.end(), [](const std::string& c) { return c.starts_with("STOR "); }),
            2)
      << ::testing::PrintToString(resumed);
  EXPECT_EQ(position(resumed, sent_before_the_break[0]), resumed.size());
  EXPECT_LT(position(resumed, "RNTO neu.jpg"), resumed.size());
  for (const std::string& name : ftp.names()) EXPECT_FALSE(temporary(name)) << name;
}

TEST(Upload, FilesGoneFromTheReleaseAreRemovedAfterTheCatalogueOnlyWhenAsked) {
  ReleaseFolder release;
  fill(release);
  release.put("alt.dll", "old library", utc(2026, 7, 15, 8));
  release.put("Bilder/alt.jpg", "old picture", utc(2026, 7, 15, 8));
  FtpFolder ftp;
  ftp.start();
  ASSERT_EQ(upload(release, ftp).exit_code, publish::kPublished);

  fs::remove(inside(release.root(), "alt.dll"));
  const PublishRun kept = upload(release, ftp);
  EXPECT_EQ(kept.exit_code, publish::kPublished) << kept.err;
  EXPECT_TRUE(fs::exists(ftp.file("alt.dll")));
  EXPECT_EQ(read_file(ftp.file("catalogue.json")).find("alt.dll"), std::string::npos);

  fs::remove(inside(release.root(), "Bilder/alt.jpg"));
  const std::size_t before = ftp.changes().size();
  const PublishRun removed = upload(release, ftp, {"--remove-gone"});
  EXPECT_EQ(removed.exit_code, publish::kPublished) << removed.err;
  EXPECT_FALSE(fs::exists(ftp.file("alt.jpg")));
  const Texts changes = ftp.changes();
  EXPECT_EQ(Texts(changes.begin() + static_cast<std::ptrdiff_t>(before), changes.end()),
            (Texts{"STOR ~qor-upload-catalogue.json", "RNFR ~qor-upload-catalogue.json", "RNTO catalogue.json",
                   "DELE alt.jpg"}));
}

TEST(Upload, TheAccountComesFromTheSettingsAndTheCatalogueCanGoElsewhere) {
  ReleaseFolder release;
  fill(release);
  FtpFolder ftp;
  fs::create_directory(ftp.root / "php_scripts");
  ftp.start();
  release.write_settings(settings_text("[upload]\nserver = " + ftp.address() + "\nuser = " + kUploadUser +
                                       "\npassword = " + kUploadPassword +
                                       "\ncatalogue = php_scripts/catalogue.json\n"));
  const PublishRun run = release.run({"--settings", release.settings(), "--upload", release.root()});
  ASSERT_EQ(run.exit_code, publish::kPublished) << run.err;
  EXPECT_TRUE(fs::exists(ftp.file("a.dll")));
  EXPECT_FALSE(fs::exists(ftp.file("catalogue.json")));
  const std::string published = read_file(ftp.file("php_scripts/catalogue.json"));
  EXPECT_NE(published.find("a.dll"), std::string::npos);
  EXPECT_EQ(published.find(kUploadPassword), std::string::npos);

  release.write_settings(settings_text());
  const PublishRun no_account = release.run({"--settings", release.settings(), "--upload", release.root()});
  EXPECT_EQ(no_account.exit_code, publish::kUsage);
  EXPECT_EQ(
      release.run({"--settings", release.settings(), "--output", release.catalogue(), "--remove-gone", release.root()})
          .exit_code,
      publish::kUsage);
}

TEST(Upload, ANameWithAControlCharacterIsRefusedBeforeAnythingIsSent) {
  FtpFolder ftp;
  write_file(ftp.file("catalogue.json"), "{}");
  ftp.start();
  TempDir local;
  write_file(local / "x", "x");
  auto internet = transfer::open("test");
  ASSERT_TRUE(internet);
  auto connection = transfer::connect(*internet, ftp.address(), kUploadUser, kUploadPassword);
  ASSERT_TRUE(connection) << connection.failure().reason;
  const std::string injected = "x\r\nDELE catalogue.json";
  EXPECT_FALSE(transfer::put_file(connection->get(), local / "x", injected));
  EXPECT_FALSE(transfer::rename(connection->get(), "x", injected));
  EXPECT_FALSE(transfer::rename(connection->get(), injected, "x"));
  EXPECT_FALSE(transfer::remove(connection->get(), injected));
  EXPECT_FALSE(transfer::remove(connection->get(), std::string("catalogue.json\0x", 16)));
  EXPECT_TRUE(fs::exists(ftp.file("catalogue.json")));
  EXPECT_EQ(ftp.changes(), Texts{});
  // The same connection still uploads and renames a sound name.
  EXPECT_TRUE(transfer::put_file(connection->get(), local / "x", "y"));
  EXPECT_TRUE(transfer::rename(connection->get(), "y", "z"));
  EXPECT_EQ(read_file(ftp.file("z")), "x");
}

}  // namespace
}  // namespace qor::test
