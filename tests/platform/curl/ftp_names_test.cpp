// Names and accounts in the bytes the server understands: a listed name as
// the listing wrote it, anything else in Windows-1252 where it can be
// written so, else UTF-8. And the FTP connection never goes through a proxy.
#include "tests/platform/curl/ftp_transfer_fixture.hpp"
#include "tests/support/scoped_env.hpp"

namespace qor::test {
namespace {

const std::string kCafe1252 = "Caf\xE9.txt";
const std::string kCafeUtf8 = "Caf\xC3\xA9.txt";
const std::string kUeberUtf8 =
    "\xC3\x9C"
    "ber.dll";
const std::string kOmegaUtf8 = "\xCE\xA9mega.dll";  // no Windows-1252 byte for it

Result<std::string> fetch(const InternetHandle* connection, const std::string& name) {
  MemorySink sink;
  const Status arrived = transfer::get_file(connection, name, sink);
  if (!arrived) return arrived.failure();
  return sink.bytes;
}

// A server that writes its names in Windows-1252 while the client shows them
// as UTF-8: the download must ask with the listing's bytes.
TEST_F(FtpTransfer, AListedNameIsAskedForWithTheBytesOfTheListing) {
  write_file(root / kCafe1252, "1252 on disk");
  write_file(root / kUeberUtf8, "utf-8 on disk");
  start_server();
  const auto connection = connect();
  ASSERT_TRUE(connection);
  ASSERT_EQ(listing(connection.get()), (std::vector<std::string>{kCafeUtf8 + " 128 12", kUeberUtf8 + " 128 13"}));
  for (const auto& [name, content] : {std::pair{kCafeUtf8, "1252 on disk"}, std::pair{kUeberUtf8, "utf-8 on disk"}}) {
    SCOPED_TRACE(name);
    const auto bytes = fetch(connection.get(), name);
    ASSERT_TRUE(bytes) << bytes.failure().reason;
    EXPECT_EQ(*bytes, content);
  }
  EXPECT_EQ(server->count_log("RETR " + kCafe1252, 1), 1);
}

// The servers the client was written for speak Windows-1252; a name the
// listing did not show goes in that code page where it has every character.
TEST_F(FtpTransfer, ANameNotListedGoesInWindows1252WhereItCanElseInUtf8) {
  write_file(root / kUeberUtf8, "u");
  write_file(root / kCafeUtf8, "c");
  write_file(root / "plain.dll", "p");
  write_file(root / kOmegaUtf8, "o");
  {
    start_server({"--charset", "windows-1252"});
    const auto connection = connect();
    ASSERT_TRUE(connection);
    for (const auto& [name, content] :
         {std::pair{kUeberUtf8, "u"}, std::pair{kCafeUtf8, "c"}, std::pair{std::string("plain.dll"), "p"}}) {
      SCOPED_TRACE(name);
      const auto bytes = fetch(connection.get(), name);
      ASSERT_TRUE(bytes) << bytes.failure().reason;
      EXPECT_EQ(*bytes, content);
    }
    // Listed in that code page, the names are found the same way.
    EXPECT_EQ(listing(connection.get()).size(), 4u);
    const auto listed = fetch(connection.get(), kUeberUtf8);
    ASSERT_TRUE(listed) << listed.failure().reason;
    EXPECT_EQ(*listed, "u");
  }
  start_server();
  const auto connection = connect();
  ASSERT_TRUE(connection);
  const auto omega = fetch(connection.get(), kOmegaUtf8);
  ASSERT_TRUE(omega) << omega.failure().reason;
  EXPECT_EQ(*omega, "o");
}

TEST_F(FtpTransfer, TheAccountGoesInWindows1252WhereItCan) {
  password =
      "Gr\xC3\xBC\xC3\x9F"
      "e";
  write_file(root / "a.dll", "a");
  start_server({"--charset", "windows-1252"});
  const auto connection = connect();
  ASSERT_TRUE(connection);
  EXPECT_EQ(server->count_log("LOGIN qor", 1), 1);
}

TEST_F(FtpTransfer, NoProxyFromTheEnvironmentIsUsedForFtp) {
  write_file(root / "a.dll", "direct");
  start_server();
  // Nothing listens there: a connection through it would fail.
  const std::string nowhere = "http://127.0.0.1:" + std::to_string(closed_port());
  const ScopedEnv ftp_proxy("ftp_proxy", nowhere), all_proxy("all_proxy", nowhere), upper("ALL_PROXY", nowhere);
  const ScopedEnv no_proxy("no_proxy", std::nullopt), no_proxy_upper("NO_PROXY", std::nullopt);
  const auto connection = connect();
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()).size(), 1u);
  const auto bytes = fetch(connection.get(), "a.dll");
  ASSERT_TRUE(bytes) << bytes.failure().reason;
  EXPECT_EQ(*bytes, "direct");
}

}  // namespace
}  // namespace qor::test
