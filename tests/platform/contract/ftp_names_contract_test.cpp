// Names and accounts in the bytes the server understands, whichever
// implementation: a listed name as the listing wrote it, anything else in
// Windows-1252 where it can be written so, else UTF-8 (on Windows the
// system's ANSI code page comes first: ansi_names_test.cpp). A name never
// carries a second command, and the FTP connection never goes through a
// proxy.
#include "tests/platform/contract/transfer_fixture.hpp"
#include "tests/support/scoped_env.hpp"

namespace qor::test {
namespace {

const std::string kCafe = "Caf\xC3\xA9.txt";  // "Café.txt"
const std::string kCafe1252 = "Caf\xE9.txt";
const std::string kUeber =
    "\xC3\x9C"
    "ber.dll";                                  // "Über.dll"
const std::string kOmega = "\xCE\xA9mega.dll";  // no Windows-1252 byte for it

// A server that writes its names in Windows-1252 while the client shows them
// as UTF-8 knows the file only by those bytes: "Caf\xE9.txt". Asked with the
// UTF-8 of the text shown, it would answer 550.
TEST(FtpNames, AListedNameIsAskedForWithTheBytesOfAWindows1252Listing) {
  FtpServer ftp;
  write_file(ftp.root / kCafe, "1252 listing");
  ftp.start({"--charset", "windows-1252"});
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  ASSERT_EQ(listing_lines(connection.get()), std::vector<std::string>{kCafe + " 128 12"});
  const auto bytes = fetch(connection.get(), kCafe);
  ASSERT_TRUE(bytes) << bytes.failure().reason;
  EXPECT_EQ(*bytes, "1252 listing");
  EXPECT_EQ(ftp.count_log("RETR " + kCafe, 1), 1);
}

// A server in UTF-8 lists "Über.dll" in UTF-8: the listing's bytes go back,
// not the Windows-1252 a name the listing did not show would go in.
TEST(FtpNames, AListedUtf8NameGoesBackInUtf8) {
  FtpServer ftp;
  write_file(ftp.root / kUeber, "utf-8 listing");
  ftp.start();
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  ASSERT_EQ(listing_lines(connection.get()), std::vector<std::string>{kUeber + " 128 13"});
  const auto bytes = fetch(connection.get(), kUeber);
  ASSERT_TRUE(bytes) << bytes.failure().reason;
  EXPECT_EQ(*bytes, "utf-8 listing");
}

// One listing with a name in each: each goes back in its own bytes. The
// server's folder must hold a name that is no UTF-8, which only a file
// system whose names are bytes lets the test write.
TEST(FtpNames, AListingMixingCodePagesIsAskedForNameByName) {
  if (!names_are_bytes()) GTEST_SKIP() << "this file system's names are text: it holds no Windows-1252 name";
  FtpServer ftp;
  write_file(ftp.root / kCafe1252, "1252 on disk");
  write_file(ftp.root / kUeber, "utf-8 on disk");
  ftp.start();
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  ASSERT_EQ(listing_lines(connection.get()), (std::vector<std::string>{kCafe + " 128 12", kUeber + " 128 13"}));
  for (const auto& [name, content] : {std::pair{kCafe, "1252 on disk"}, std::pair{kUeber, "utf-8 on disk"}}) {
    SCOPED_TRACE(name);
    const auto bytes = fetch(connection.get(), name);
    ASSERT_TRUE(bytes) << bytes.failure().reason;
    EXPECT_EQ(*bytes, content);
  }
  EXPECT_EQ(ftp.count_log("RETR " + kCafe1252, 1), 1);
}

// The servers the client was written for speak Windows-1252; a name the
// listing did not show goes in that code page where it has every character.
TEST(FtpNames, ANameNotListedGoesInWindows1252WhereItCanElseInUtf8) {
  FtpServer ftp;
  write_file(ftp.root / kUeber, "u");
  write_file(ftp.root / kCafe, "c");
  write_file(ftp.root / "plain.dll", "p");
  write_file(ftp.root / kOmega, "o");
  {
    ftp.start({"--charset", "windows-1252"});
    const auto connection = connected(ftp);
    ASSERT_TRUE(connection);
    for (const auto& [name, content] :
         {std::pair{kUeber, "u"}, std::pair{kCafe, "c"}, std::pair{std::string("plain.dll"), "p"}}) {
      SCOPED_TRACE(name);
      const auto bytes = fetch(connection.get(), name);
      ASSERT_TRUE(bytes) << bytes.failure().reason;
      EXPECT_EQ(*bytes, content);
    }
    // Listed in that code page, the names are found the same way.
    EXPECT_EQ(listing(connection.get()).size(), 4u);
    const auto listed = fetch(connection.get(), kUeber);
    ASSERT_TRUE(listed) << listed.failure().reason;
    EXPECT_EQ(*listed, "u");
  }
  ftp.start();
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  const auto omega = fetch(connection.get(), kOmega);
  ASSERT_TRUE(omega) << omega.failure().reason;
  EXPECT_EQ(*omega, "o");
}

TEST(FtpNames, TheAccountGoesInWindows1252WhereItCan) {
  const std::string password =
      "Gr\xC3\xBC\xC3\x9F"
      "e";  // "Grüße"
  FtpServer ftp;
  write_file(ftp.root / "a.dll", "a");
  ftp.start({"--charset", "windows-1252"}, password);
  const auto connection = connected(ftp, quick_limits(), password);
  ASSERT_TRUE(connection);
  EXPECT_EQ(ftp.count_log("LOGIN qor", 1), 1);
}

// A name that would carry a second command in what the client sends is
// refused before anything is sent.
TEST(FtpNames, ANameWithALineBreakIsRefused) {
  FtpServer ftp;
  write_file(ftp.root / "a.dll", "a");
  ftp.start({"--log-commands"});
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  const auto refused = fetch(connection.get(), "a.dll\r\nDELE a.dll");
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.failure().reason.find("line break"), std::string::npos) << refused.failure().reason;
  EXPECT_EQ(ftp.count_log("COMMAND DELE", 1, std::chrono::seconds(1)), 0);
  EXPECT_EQ(read_file(ftp.root / "a.dll"), "a");
}

TEST(FtpNames, NoProxyFromTheEnvironmentIsUsedForFtp) {
  FtpServer ftp;
  write_file(ftp.root / "a.dll", "direct");
  ftp.start();
  // Nothing listens there: a connection through it would fail.
  const std::string nowhere = "http://127.0.0.1:" + std::to_string(closed_port());
  const ScopedEnv ftp_proxy("ftp_proxy", nowhere), all_proxy("all_proxy", nowhere), upper("ALL_PROXY", nowhere),
      http_proxy("http_proxy", nowhere);
  const ScopedEnv no_proxy("no_proxy", std::nullopt), no_proxy_upper("NO_PROXY", std::nullopt);
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()).size(), 1u);
  const auto bytes = fetch(connection.get(), "a.dll");
  ASSERT_TRUE(bytes) << bytes.failure().reason;
  EXPECT_EQ(*bytes, "direct");
}

}  // namespace
}  // namespace qor::test
