// connect_ftp and the remote listing against a real FTP server.
#include <filesystem>

#include "QOR_sync_ftp_MOD.hpp"
#include "app_title.hpp"
#include "ftp_fixture.hpp"
#include "stderr_capture.hpp"

namespace qor::test {
namespace {

using Items = std::vector<std::string>;

TEST_F(FtpTest, ConnectListsFoldersThenFilesInDisplayCase) {
  std::filesystem::create_directory(root / "Data");
  for (const char* name : {"Readme.TXT", "b.dll", "A.exe"}) write_file(root / name, name);
  start_server();
  shared_variables().ftp.transfer_type = 1;
  const StderrCapture errors;
  connect_ftp(host, {});
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(errors.failure_lines().empty()) << errors.text();
  EXPECT_EQ(list.texts(), (Items{".", "..", "DATA", "a.exe", "b.dll", "readme.txt"}));
  const auto& listing = shared_variables().ftp.remote_listing;
  ASSERT_EQ(listing.size(), 7u);
  EXPECT_EQ(listing[2].cFileName, "Data");
  EXPECT_EQ(listing[2].dwFileAttributes, 16u);
  EXPECT_EQ(listing[3].cFileName, "A.exe");
  EXPECT_EQ(listing[3].dwFileAttributes, 128u);
  EXPECT_EQ(listing[3].nFileSizeLow, 5u);
  EXPECT_EQ(shared_variables().ftp.transfer_type, 0) << "each connection starts in binary mode";
}

// Whatever went wrong, the user sees one message; standard error says which
// server and why, in one line.
TEST_F(FtpTest, FailedConnectionShowsOneMessageKeepsTheOldListingAndNamesTheServer) {
  write_file(root / "a.txt", "a");
  start_server();
  list.AddItem("earlier");
  auto& mod = shared_variables().mod;
  const std::string good_server = mod.ftp_server;
  for (const std::string& server_name :
       {good_server, "127.0.0.1:" + std::to_string(closed_port()), "127.0.0.1/x@" + good_server}) {
    SCOPED_TRACE("server '" + server_name + "'");
    host.messages.clear();
    mod.ftp_server = server_name;
    if (server_name == good_server) mod.ftp_password = "wrong";
    const StderrCapture errors;
    connect_ftp(host, {});
    mod.ftp_password = "pass word";
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kConnectFailed);
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(host.messages[0].caption, kApplicationTitle);
    const auto reasons = errors.failure_lines();
    ASSERT_EQ(reasons.size(), 1u) << errors.text();
    EXPECT_TRUE(reasons[0].starts_with("QOR_sync_PRO: FTP connection: ")) << reasons[0];
    EXPECT_NE(reasons[0].find(server_name), std::string::npos) << reasons[0];
    EXPECT_EQ(list.texts(), Items{"earlier"});
    EXPECT_NE(shared_variables().ftp.internet_handle, nullptr);
    EXPECT_EQ(shared_variables().ftp.ftp_handle, nullptr);
  }
  EXPECT_EQ(server->count_log("LIST", 0), 0);
}

TEST_F(FtpTest, RefusedLoginIsAFailedConnectionThatNamesServerAndAccount) {
  start_server({"--refuse-login"});
  const StderrCapture errors;
  connect_ftp(host, {});
  EXPECT_EQ(host.texts(), Items{kConnectFailed});
  EXPECT_EQ(shared_variables().ftp.ftp_handle, nullptr);
  const auto reasons = errors.failure_lines();
  ASSERT_EQ(reasons.size(), 1u) << errors.text();
  EXPECT_NE(reasons[0].find(server->address("ftp") + " as qor"), std::string::npos) << reasons[0];
}

TEST_F(FtpTest, EmptyFolderShowsOnlyTheDotEntriesAndIsNoFailure) {
  start_server();
  const StderrCapture errors;
  connect_ftp(host, {});
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(errors.failure_lines().empty()) << errors.text();
  EXPECT_EQ(list.texts(), (Items{".", ".."}));
}

TEST_F(FtpTest, ListingThatStartsWithADotGetsNoDotEntries) {
  write_file(root / ".htaccess", "deny");
  write_file(root / "Setup.EXE", "x");
  start_server();
  connect_ftp(host, {});
  EXPECT_EQ(list.texts(), (Items{".htaccess", "setup.exe"}));
}

TEST_F(FtpTest, EachConnectLogsInAgainAndListsAgain) {
  write_file(root / "one.txt", "1");
  start_server();
  connect_ftp(host, {});
  auto* first = shared_variables().ftp.ftp_handle.get();
  EXPECT_EQ(list.texts(), (Items{".", "..", "one.txt"}));
  write_file(root / "two.txt", "2");
  connect_ftp(host, {});
  EXPECT_NE(shared_variables().ftp.ftp_handle.get(), first);
  EXPECT_EQ(list.texts(), (Items{".", "..", "one.txt", "two.txt"}));
  EXPECT_EQ(server->count_log("LOGIN qor", 2), 2);
  EXPECT_EQ(server->count_log("LIST", 2), 2);
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace qor::test
