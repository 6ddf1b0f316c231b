// Names and the account in the running system's ANSI code page. The
// conversions with the code page given run in any session; the FTP cases
// run in a Russian session (ANSI code page 1251) against a server that
// speaks Windows-1251, as the servers of such a system do.
#include "platform/win32/ansi_names.hpp"
#include "tests/platform/contract/transfer_fixture.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::test {
namespace {

const std::string kPrivet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt";  // "Привет.txt"
const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2.txt";
const std::string kCafe = "Caf\xC3\xA9";  // "Café": no Windows-1251 byte for the é
const std::string kCyrillicPassword = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C";  // "пароль"

TEST(AnsiNames, TextGoesInTheCodePageThenWindows1252ThenUtf8) {
  EXPECT_EQ(win32::bytes_for_server_in(kPrivet, 1251), kPrivet1251);
  EXPECT_EQ(win32::bytes_for_server_in(kCafe, 1251), "Caf\xE9");
  EXPECT_EQ(win32::bytes_for_server_in(kCafe, 1252), "Caf\xE9");
  // Neither code page has an Omega: the UTF-8 goes as it is.
  EXPECT_EQ(win32::bytes_for_server_in("\xCE\xA9", 1251), "\xCE\xA9");
  // "ā" has a best fit "a" in Windows-1252, which would name another file.
  EXPECT_EQ(win32::bytes_for_server_in("\xC4\x81.dll", 1252), "\xC4\x81.dll");
  // Double-byte code pages too: "日本" in Shift JIS.
  EXPECT_EQ(win32::bytes_for_server_in("\xE6\x97\xA5\xE6\x9C\xAC", 932), "\x93\xFA\x96\x7B");
  // A system whose ANSI code page is UTF-8 gets UTF-8, even where
  // Windows-1252 could hold the text.
  EXPECT_EQ(win32::bytes_for_server_in(kCafe, CP_UTF8), kCafe);
}

TEST(AnsiNames, BytesAreReadAsUtf8ThenInTheCodePageThenAsWindows1252) {
  EXPECT_EQ(win32::text_from_server_in(kPrivet1251, 1251), kPrivet);
  EXPECT_EQ(win32::text_from_server_in(kPrivet, 1251), kPrivet);
  EXPECT_EQ(win32::text_from_server_in("Caf\xE9", 1252), kCafe);
  // A lead byte of Shift JIS with nothing after it is no text there.
  EXPECT_EQ(win32::text_from_server_in("A\x93", 932), "A\xE2\x80\x9C");
}

// The server's files have plain names: Wine cannot write a Cyrillic name to
// the Linux side without the system's Russian locale. What the client sent
// shows in the server's log of commands, read in Windows-1251.
class AnsiCodePage : public ::testing::Test {
 protected:
  void SetUp() override {
    // Wine takes the code page from the session's locale (LC_ALL).
    ASSERT_EQ(GetACP(), 1251u) << "run in a Russian session (LC_ALL=ru_RU.UTF-8)";
    write_file(ftp.root / "plain.txt", "plain");
  }
  void start(const std::string& password) { ftp.start({"--charset", "windows-1251", "--log-commands"}, password); }
  FtpServer ftp;
};

TEST_F(AnsiCodePage, TheAccountGoesInTheSystemsCodePage) {
  start(kCyrillicPassword);
  const auto connection = connected(ftp, quick_limits(), kCyrillicPassword);
  ASSERT_TRUE(connection);
  const auto bytes = fetch(connection.get(), "plain.txt");
  ASSERT_TRUE(bytes) << bytes.failure().reason;
  EXPECT_EQ(*bytes, "plain");
}

TEST_F(AnsiCodePage, ANameNotListedGoesInTheSystemsCodePage) {
  start(kPassword);
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  EXPECT_FALSE(fetch(connection.get(), kPrivet));  // the server has no such file
  EXPECT_EQ(ftp.count_log("COMMAND SIZE " + kPrivet, 1), 1);
}

}  // namespace
}  // namespace qor::test
