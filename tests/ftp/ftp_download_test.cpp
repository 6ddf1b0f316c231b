// ftp_get_file against a real FTP server: replacing files, failures, and
// the connection kept between transfers.
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "QOR_sync_ftp_MOD.hpp"
#include "app_title.hpp"
#include "ftp_fixture.hpp"
#include "transfer_layer.hpp"

namespace qor::test {
namespace {

using Items = std::vector<std::string>;
const std::string kFailed =
    "\xC3\x9C"
    "bertragunsfehler";

std::string pattern_bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7919) >> 3);
  return s;
}

mode_t mode_of(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST_F(FtpTest, OneLoginServesTheListingAndEveryDownload) {
  for (const char* name : {"a.dll", "b.exe", "c d.txt"}) write_file(root / name, std::string("content of ") + name);
  write_file(root / "big.bin", pattern_bytes(3'000'000));
  start_server();
  connect_ftp(form);
  for (const char* name : {"a.dll", "b.exe", "c d.txt", "big.bin"})
    EXPECT_TRUE(ftp_get_file(form, name, target.path()));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(read_file(local("c d.txt")), "content of c d.txt");
  EXPECT_EQ(read_file(local("big.bin")), pattern_bytes(3'000'000));
  EXPECT_EQ(count_log("LOGIN"), 1);
  EXPECT_EQ(count_log("RETR"), 4);
  EXPECT_EQ(target_files(), (Items{"a.dll", "b.exe", "big.bin", "c d.txt"}));
}

TEST_F(FtpTest, DownloadReplacesTheLocalFileKeepsItsModeAndFetchesAgain) {
  write_file(root / "app.exe", "version 2");
  start_server();
  connect_ftp(form);
  write_file(local("app.exe"), "version 1, longer than the new one");
  chmod(local("app.exe").c_str(), 0750);
  EXPECT_TRUE(ftp_get_file(form, "app.exe", target.path()));
  EXPECT_EQ(read_file(local("app.exe")), "version 2");
  EXPECT_EQ(mode_of(local("app.exe")), 0750u);
  write_file(root / "app.exe", "version 3");
  EXPECT_TRUE(ftp_get_file(form, "app.exe", target.path()));
  EXPECT_EQ(read_file(local("app.exe")), "version 3");
  EXPECT_EQ(count_log("RETR app.exe"), 2);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(target_files(), Items{"app.exe"});
}

TEST_F(FtpTest, EveryFailureShowsTheMessageAndCreatesNoFile) {
  std::filesystem::create_directory(root / "sub");
  write_file(root / "sub/deep.dll", "deep");
  write_file(root / "top.dll", "top");
  write_file(target.path() + "/../outside.dll", "keep");
  start_server();
  connect_ftp(form);
  const std::string missing_folder = target / "no such folder";
  struct Case {
    std::string name, folder;
  };
  for (const Case& c : std::vector<Case>{{"missing.dll", target.path()},
                                         {"deep.dll", target.path()},
                                         {"sub/deep.dll", target.path()},
                                         {"../outside.dll", target.path()},
                                         {"..", target.path()},
                                         {"", target.path()},
                                         {"top.dll", missing_folder}}) {
    SCOPED_TRACE("'" + c.name + "' into " + c.folder);
    host.messages.clear();
    EXPECT_FALSE(ftp_get_file(form, c.name, c.folder));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kFailed);
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(host.messages[0].caption, kApplicationTitle);
  }
  EXPECT_TRUE(target_files().empty());
  EXPECT_EQ(read_file(target.path() + "/../outside.dll"), "keep");
  std::filesystem::remove(target.path() + "/../outside.dll");

  // A write-protected local file is not replaced.
  write_file(local("top.dll"), "protected");
  chmod(local("top.dll").c_str(), 0444);
  host.messages.clear();
  EXPECT_FALSE(ftp_get_file(form, "top.dll", target.path()));
  EXPECT_EQ(host.texts(), Items{kFailed});
  EXPECT_EQ(read_file(local("top.dll")), "protected");
}

TEST_F(FtpTest, WithoutAConnectionEveryDownloadFails) {
  write_file(root / "top.dll", "top");
  start_server();
  EXPECT_FALSE(ftp_get_file(form, "top.dll", target.path()));
  shared_variables().mod.ftp_password = "wrong";
  connect_ftp(form);
  host.messages.clear();
  EXPECT_FALSE(ftp_get_file(form, "top.dll", target.path()));
  EXPECT_EQ(host.texts(), Items{kFailed});
  EXPECT_TRUE(target_files().empty());
}

// A transfer broken off midway, answered as an abort (426) or as if it were
// complete (226 with a short file): the old file stays, nothing else is left.
TEST_F(FtpTest, BrokenTransferLeavesTheOldFileExactlyAsItWas) {
  write_file(root / "data.db3", pattern_bytes(1'000'000));
  for (const char* fault : {"--abort-after", "--truncate-after"}) {
    SCOPED_TRACE(fault);
    start_server({fault, "300000"});
    connect_ftp(form);
    write_file(local("data.db3"), "the old database");
    chmod(local("data.db3").c_str(), 0600);
    host.messages.clear();
    EXPECT_FALSE(ftp_get_file(form, "data.db3", target.path()));
    EXPECT_EQ(host.texts(), Items{kFailed});
    EXPECT_EQ(read_file(local("data.db3")), "the old database");
    EXPECT_EQ(mode_of(local("data.db3")), 0600u);
    EXPECT_EQ(target_files(), Items{"data.db3"});
    // A fresh file that breaks off leaves nothing at all.
    EXPECT_FALSE(ftp_get_file(form, "data.db3", target / "sub-absent"));
    std::filesystem::remove(local("data.db3"));
    EXPECT_FALSE(ftp_get_file(form, "data.db3", target.path()));
    EXPECT_TRUE(target_files().empty());
    server.reset();
  }
}

TEST_F(FtpTest, ControlConnectionClosedWhileIdleIsOpenedAgain) {
  write_file(root / "a.dll", "a");
  start_server({"--idle-close", "2"});
  connect_ftp(form);
  const int logins = count_log("LOGIN");
  std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  EXPECT_TRUE(ftp_get_file(form, "a.dll", target.path()));
  EXPECT_TRUE(ftp_get_file(form, "a.dll", target.path()));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(read_file(local("a.dll")), "a");
  EXPECT_EQ(count_log("LOGIN"), logins + 1);
}

TEST_F(FtpTest, StalledTransferIsGivenUpAfterTheStallTime) {
  write_file(root / "slow.bin", pattern_bytes(500'000));
  start_server({"--stall-after", "100000"});
  auto internet = transfer::open("test", TransferOptions{5, 2});
  auto connection = transfer::connect(internet, server->address("ftp"), "qor", "pass word");
  ASSERT_NE(connection, nullptr);
  write_file(local("slow.bin"), "old");
  EXPECT_FALSE(transfer::get_file(connection.get(), "slow.bin", local("slow.bin")));
  EXPECT_EQ(read_file(local("slow.bin")), "old");
  EXPECT_EQ(target_files(), Items{"slow.bin"});
}

}  // namespace
}  // namespace qor::test
