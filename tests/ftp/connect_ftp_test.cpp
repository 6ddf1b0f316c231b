// connect_ftp and the remote listing against a real FTP server.
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "ftp/ftp_steps.hpp"
#include "portable/app_title.hpp"
#include "tests/ftp/ftp_fixture.hpp"
#include "tests/support/stderr_capture.hpp"

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

// A line break in the account would end the login command early and send
// the rest to the server as commands of their own.
TEST_F(FtpTest, ControlCharactersInTheSettingsRefuseTheConnectionBeforeAnythingIsSent) {
  write_file(root / "victim.txt", "keep");
  start_server({"--log-commands"});
  auto& mod = shared_variables().mod;
  const QOR_sync_MOD good = mod;
  struct Case {
    std::string QOR_sync_MOD::*field;
    std::string key;
    std::string value;
  };
  for (const Case& c :
       {Case{&QOR_sync_MOD::ftp_user, "us=", "qor\r\nDELE victim.txt"},
        Case{&QOR_sync_MOD::ftp_password, "pa=", "pass word\r\nDELE victim.txt"},
        Case{&QOR_sync_MOD::ftp_password, "pa=", "pass word\nDELE victim.txt"},
        Case{&QOR_sync_MOD::ftp_user, "us=", std::string("qor\0DELE victim.txt", 19)},
        Case{&QOR_sync_MOD::ftp_user, "us=", "qor\t"}, Case{&QOR_sync_MOD::ftp_password, "pa=", "pass word\x7F"},
        Case{&QOR_sync_MOD::ftp_server, "se=", good.ftp_server + "\r\n"}}) {
    SCOPED_TRACE(c.key + testing::PrintToString(c.value));
    mod = good;
    mod.ftp_folder = "/";
    mod.*c.field = c.value;
    host.messages.clear();
    const StderrCapture errors;
    connect_ftp(host, {});
    EXPECT_EQ(host.texts(), Items{kConnectFailed});
    EXPECT_EQ(shared_variables().ftp.ftp_handle, nullptr);
    const auto reasons = errors.failure_lines();
    ASSERT_EQ(reasons.size(), 1u) << errors.text();
    EXPECT_EQ(reasons[0], "QOR_sync_PRO: FTP connection: " + c.key + " holds a control character");
  }
  EXPECT_EQ(server->count_log("COMMAND", 0), 0) << testing::PrintToString(server->log());
  EXPECT_EQ(read_file(root / "victim.txt"), "keep");
  // Characters beyond ASCII are no control characters; the folder is only
  // shown, never sent, so whatever it holds refuses nothing.
  for (const std::string& folder : {std::string("/\rDELE victim.txt\r\n"), std::string("/Gr\xC3\xBC\xC3\x9F"
                                                                                       "e")}) {
    SCOPED_TRACE(testing::PrintToString(folder));
    mod = good;
    mod.ftp_folder = folder;
    host.messages.clear();
    connect_ftp(host, {});
    EXPECT_TRUE(host.messages.empty());
    EXPECT_NE(shared_variables().ftp.ftp_handle, nullptr);
  }
  const auto log = server->log();
  EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const std::string& l) {
    return l.find("DELE") != std::string::npos;
  })) << testing::PrintToString(log);
  EXPECT_EQ(read_file(root / "victim.txt"), "keep");
}

// A listing without end, or one trickled in, ends at its cap or its
// deadline with the message of a failed connection; the login stands.
TEST_F(FtpTest, AListingPastItsLimitsIsAFailedConnection) {
  write_file(root / "a.dll", "a");
  TransferLimits limits;
  limits.max_listing_bytes = std::uint64_t{1} << 20;
  limits.deadline_floor = std::chrono::seconds(1);
  for (const std::vector<std::string>& fault :
       {std::vector<std::string>{"--endless-listing"}, std::vector<std::string>{"--trickle-listing", "0.1"}}) {
    SCOPED_TRACE(fault.front());
    start_server(fault);
    host.messages.clear();
    const StderrCapture errors;
    connect_ftp(host, limits);
    EXPECT_EQ(host.texts(), Items{kConnectFailed});
    const auto reasons = errors.failure_lines();
    ASSERT_EQ(reasons.size(), 1u) << errors.text();
    EXPECT_TRUE(reasons[0].starts_with("QOR_sync_PRO: FTP connection: list ftp://" + server->address("ftp") + ": "))
        << reasons[0];
    EXPECT_NE(shared_variables().ftp.ftp_handle, nullptr);
    EXPECT_EQ(list.texts(), (Items{".", ".."}));
  }
}

// The window answers while the listing arrives; closing it ends the attempt
// without a message.
TEST_F(FtpTest, ClosingTheWindowDuringTheListingEndsTheAttemptQuietly) {
  write_file(root / "a.dll", "a");
  start_server({"--trickle-listing", "0.2"});
  host.on_yield = [this] {
    if (host.yields == 4) host.window_closed = true;
  };
  const StderrCapture errors;
  connect_ftp(host, {});
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.yields, 4);
  EXPECT_EQ(errors.failure_lines(), Items{"QOR_sync_PRO: FTP connection: abandoned, the window was closed"});
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
