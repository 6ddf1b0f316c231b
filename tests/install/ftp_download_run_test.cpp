// A whole download run against the real FTP test server on 127.0.0.1:
// fetch by the FTP client, stamping, and the version check afterwards.
#include <gtest/gtest.h>

#include <filesystem>

#include "filetime/local_date.hpp"
#include "ftp/ftp_steps.hpp"
#include "tests/install/install_fixture.hpp"
#include "tests/support/scoped_env.hpp"
#include "tests/support/server_process.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;

class FtpDownloadRun : public ::testing::Test, public test::InstallFixture {
 protected:
  FtpDownloadRun() : locale_("LC_ALL", "en_US.UTF-8") {}
  ~FtpDownloadRun() override { shared_variables() = SharedVariables{}; }

  void connect(const std::vector<std::string>& options = {}) {
    server = test::start_ftp_server(remote.path(), "qor", "pw", options);
    auto& mod = shared_variables().mod;
    mod.ftp_server = server->address("ftp");
    mod.ftp_user = "qor";
    mod.ftp_password = "pw";
    shared_variables().ftp.listing_list = &form->List4;
    connect_ftp(host, {});
    ASSERT_TRUE(host.messages.empty()) << host.messages.front().text;
  }
  std::optional<DateValue> local_stamp(const std::string& relative) {
    const auto written = fs->DateLastModified(at(relative));
    if (!written) return std::nullopt;
    return utc_to_local_date(*written);
  }

  test::TempDir remote;
  std::unique_ptr<test::ServerProcess> server;

 private:
  ScopedEnv locale_;
};

TEST_F(FtpDownloadRun, PlacesAndStampsEachFileGoesOnPastAFailedOneAndLeavesOnlyThatDue) {
  test::write_file(remote / "a.dll", std::string(100000, 'a'));
  test::write_file(remote / "b.jpg", "jpeg");
  test::write_file(remote / "qor_base.db3", "base");
  test::write_file(remote / "qor_buch.db3", "user data");
  fs::create_directories(at("pics"));
  fs::create_directories(at("SQLite3"));
  test::write_file(at("qor_buch.db3"), "the user's own");
  test::write_file(at("gone.dll"), "old");
  const DateValue old_stamp{2020, 1, 1, 12, 0, 0};
  ASSERT_TRUE(set_file_write_time(*fs, at("gone.dll"), old_stamp, true));
  const std::vector<std::string> records = {
      "id=1|fn=a.dll|ve=12/7/2026 2:05:09 PM|pa=|ar=dll|ja=0|st=0",
      "id=2|fn=gone.dll|ve=12/7/2026|pa=|ar=dll|ja=0|st=0",
      "id=3|fn=b.jpg|ve=7/1/2026 9:00:00 AM|pa=pics|ar=jpg|ja=0|st=0",
      "id=4|fn=qor_base.db3|ve=1/2/2026 8:00:00 AM|pa=|ar=db3|ja=0|st=10",
      "id=5|fn=qor_buch.db3|ve=1/2/2026|pa=|ar=db3|ja=0|st=0",
  };
  connect();
  build_lists(records, 1);
  ASSERT_EQ(due(), (std::vector<std::string>{"a.dll", "gone.dll", "b.jpg", "qor_base.db3"}));

  const test::StderrCapture errors;
  download_packages(*form, [&](const std::string& name, const std::string& folder, const Placing& placing,
                               PlacementRun& run) { return ftp_get_file(host, *fs, name, folder, placing, run); });

  EXPECT_EQ(host.texts(), (std::vector<std::string>{"Übertragunsfehler"}));
  // The one failure says which file and why.
  const auto reasons = errors.failure_lines();
  ASSERT_EQ(reasons.size(), 1u) << errors.text();
  EXPECT_TRUE(reasons[0].starts_with("QOR_sync_PRO: transfer of gone.dll: ")) << reasons[0];
  EXPECT_EQ(test::read_file(at("a.dll")), std::string(100000, 'a'));
  // The old file stays and must not pass for the new version.
  EXPECT_EQ(test::read_file(at("gone.dll")), "old");
  EXPECT_EQ(local_stamp("gone.dll"), old_stamp);
  EXPECT_EQ(test::read_file(at("pics/b.jpg")), "jpeg");
  EXPECT_EQ(test::read_file(at("SQLite3/qor_base.db3")), "base");
  EXPECT_EQ(test::read_file(at("qor_buch.db3")), "the user's own");
  EXPECT_EQ(local_stamp("a.dll"), (DateValue{2026, 12, 7, 14, 5, 9}));
  EXPECT_EQ(local_stamp("pics/b.jpg"), (DateValue{2026, 7, 1, 9, 0, 0}));
  EXPECT_EQ(local_stamp("SQLite3/qor_base.db3"), (DateValue{2026, 1, 2, 8, 0, 0}));
  EXPECT_EQ(server->count_log("RETR", 3), 3);  // the missing file is never asked for

  build_lists(records, 1);
  EXPECT_EQ(due(), (std::vector<std::string>{"gone.dll"}));
}

// The server names its files in Windows-1252, the update answer in UTF-8:
// the file is fetched by the bytes the listing used, and is current after.
TEST_F(FtpDownloadRun, AFileTheServerNamesInWindows1252IsFetchedOnceAndThenCurrent) {
  const std::string name =
      "\xC3\x9C"
      "bersicht.dll";
  test::write_file(remote / name, "overview");
  const std::vector<std::string> records = {"id=1|fn=" + name + "|ve=12/7/2026 2:05:09 PM|pa=|ar=dll|ja=0|st=0"};
  connect({"--charset", "windows-1252"});
  build_lists(records, 1);
  ASSERT_EQ(due(), std::vector<std::string>{name});
  download_packages(*form, [&](const std::string& file, const std::string& folder, const Placing& placing,
                               PlacementRun& run) { return ftp_get_file(host, *fs, file, folder, placing, run); });
  EXPECT_TRUE(host.messages.empty()) << host.messages.front().text;
  EXPECT_EQ(test::read_file(at(name)), "overview");
  build_lists(records, 1);
  EXPECT_TRUE(due().empty());
}

}  // namespace
}  // namespace qor
