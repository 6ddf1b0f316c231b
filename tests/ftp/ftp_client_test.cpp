// connect_ftp and the remote listing against a real FTP server.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "QOR_sync_ftp_MOD.hpp"
#include "app_title.hpp"
#include "ftp_fixture.hpp"

namespace qor::test {
namespace {

using Items = std::vector<std::string>;

int closed_port() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  const bool bound = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                     getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0;
  close(s);
  // Port 1 is as closed as a port the kernel just handed out and took back.
  return bound ? ntohs(a.sin_port) : 1;
}

TEST_F(FtpTest, ConnectListsFoldersThenFilesInDisplayCase) {
  std::filesystem::create_directory(root / "Data");
  for (const char* name : {"Readme.TXT", "b.dll", "A.exe"}) write_file(root / name, name);
  start_server();
  connect_ftp(form);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(form.List4.texts(), (Items{".", "..", "DATA", "a.exe", "b.dll", "readme.txt"}));
  const auto& listing = shared_variables().ftp.remote_listing;
  ASSERT_EQ(listing.size(), 7u);
  EXPECT_EQ(listing[2].cFileName, "Data");
  EXPECT_EQ(listing[2].dwFileAttributes, 16u);
  EXPECT_EQ(listing[3].cFileName, "A.exe");
  EXPECT_EQ(listing[3].dwFileAttributes, 128u);
  EXPECT_EQ(listing[3].nFileSizeLow, 5u);
  EXPECT_EQ(shared_variables().ftp.transfer_type, 0);
}

TEST_F(FtpTest, FailedConnectionShowsOneMessageAndKeepsTheOldListing) {
  write_file(root / "a.txt", "a");
  start_server();
  form.List4.AddItem("earlier");
  auto& mod = shared_variables().mod;
  const std::string good_server = mod.ftp_server;
  for (const std::string& server : {good_server, std::string{}, "127.0.0.1:" + std::to_string(closed_port()),
                                    "127.0.0.1/x@" + good_server, " " + good_server}) {
    SCOPED_TRACE("server '" + server + "'");
    host.messages.clear();
    mod.ftp_server = server;
    if (server == good_server) mod.ftp_password = "wrong";
    connect_ftp(form);
    mod.ftp_password = "pass word";
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Fehler beim Verbindungsaufbau");
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(host.messages[0].caption, kApplicationTitle);
    EXPECT_EQ(form.List4.texts(), Items{"earlier"});
    EXPECT_NE(shared_variables().ftp.internet_handle, nullptr);
    EXPECT_EQ(shared_variables().ftp.ftp_handle, nullptr);
  }
  EXPECT_EQ(count_log("LIST"), 0);
}

TEST_F(FtpTest, RefusedLoginIsAFailedConnection) {
  start_server({"--refuse-login"});
  connect_ftp(form);
  EXPECT_EQ(host.texts(), Items{"Fehler beim Verbindungsaufbau"});
  EXPECT_EQ(shared_variables().ftp.ftp_handle, nullptr);
}

TEST_F(FtpTest, EmptyFolderShowsOnlyTheDotEntries) {
  start_server();
  connect_ftp(form);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(form.List4.texts(), (Items{".", ".."}));
}

TEST_F(FtpTest, ListingThatStartsWithADotGetsNoDotEntries) {
  write_file(root / ".htaccess", "deny");
  write_file(root / "Setup.EXE", "x");
  start_server();
  connect_ftp(form);
  EXPECT_EQ(form.List4.texts(), (Items{".htaccess", "setup.exe"}));
}

TEST_F(FtpTest, NamesWithSpacesAndWindows1252BytesAreListed) {
  write_file(root / "My Program.EXE", "x");
  write_file(root / "Caf\xE9.txt", "x");  // not UTF-8: read as Windows-1252
  write_file(root / (std::string("\xC3\x9C") + "ber.txt"), "x");
  start_server();
  connect_ftp(form);
  EXPECT_EQ(form.List4.texts(),
            (Items{".", "..", "caf\xC3\xA9.txt", "my program.exe", std::string("\xC3\xBC") + "ber.txt"}));
}

TEST_F(FtpTest, WindowsServerListingFormatIsRead) {
  std::filesystem::create_directory(root / "Data");
  write_file(root / "My File.TXT", "x");
  write_file(root / "A.exe", "12345");
  start_server({"--dos-listing"});
  connect_ftp(form);
  EXPECT_EQ(form.List4.texts(), (Items{".", "..", "DATA", "a.exe", "my file.txt"}));
  EXPECT_EQ(shared_variables().ftp.remote_listing[3].nFileSizeLow, 5u);
}

TEST_F(FtpTest, EachConnectLogsInAgainAndListsAgain) {
  write_file(root / "one.txt", "1");
  start_server();
  connect_ftp(form);
  auto* first = shared_variables().ftp.ftp_handle.get();
  EXPECT_EQ(form.List4.texts(), (Items{".", "..", "one.txt"}));
  write_file(root / "two.txt", "2");
  connect_ftp(form);
  EXPECT_NE(shared_variables().ftp.ftp_handle.get(), first);
  EXPECT_EQ(form.List4.texts(), (Items{".", "..", "one.txt", "two.txt"}));
  EXPECT_EQ(count_log("LOGIN qor"), 2);
  EXPECT_EQ(count_log("LIST"), 2);
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace qor::test
