// The FTP transfer layer through WinINet against tools/ftp_server.py on
// 127.0.0.1: the listing as the platform's find-data records, whole binary
// files, and every way a transfer can fail.
#include <gtest/gtest.h>

#include "platform/file_system.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/platform/win32/ftp_transfer_fixture.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::test {
namespace {

using namespace std::chrono_literals;

const std::string kUmlautName = "\xC3\xA4rger.txt";  // "ärger.txt"

// A folder, a text file, a binary file larger than one piece and a name
// beyond ASCII.
struct PackageFolder : FtpServer {
  std::string big = random_bytes(300'000);
  explicit PackageFolder(const std::vector<std::string>& options = {}) {
    CreateDirectoryW(win32::to_wide(root / "Bilder").c_str(), nullptr);
    write_file(root / "klein.txt", "line one\r\nline two\n");
    write_file(root / "paket.dll", big);
    write_file(root / kUmlautName, "umlaut");
    start(options);
  }
};

TEST(FtpTransfer, ListsTheLoginFolderAsFindDataRecordsWithNamesAsUtf8) {
  for (const bool dos : {false, true}) {
    SCOPED_TRACE(dos ? "DOS listing" : "Unix listing");
    PackageFolder ftp(dos ? std::vector<std::string>{"--dos-listing"} : std::vector<std::string>{});
    const auto connection = connected(ftp);
    ASSERT_TRUE(connection);
    // The server's UTF-8 name is shown as the text it is, whatever the
    // code page WinINet's ANSI functions pass the bytes through.
    EXPECT_EQ(
        listing_lines(connection.get()),
        (std::vector<std::string>{"Bilder 16", "klein.txt 128 19", "paket.dll 128 300000", kUmlautName + " 128 6"}));
  }
}

TEST(FtpTransfer, AnEmptyFolderSaysNoMoreFilesAndLeavesTheRecord) {
  FtpServer ftp;
  ftp.start();
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  FindData data;
  data.cFileName = "untouched";
  const auto find = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(find);
  EXPECT_EQ(find.failure().code, transfer::kNoMoreFiles);
  EXPECT_EQ(data.cFileName, "untouched");
  EXPECT_FALSE(transfer::find_next(nullptr, data));
}

TEST(FtpTransfer, FetchesWholeFilesInBinaryOverOneLogin) {
  PackageFolder ftp({"--log-commands"});
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  int asked = 0;
  const auto big = fetch(connection.get(), "paket.dll", [&] { return ++asked > 0; });
  ASSERT_TRUE(big) << big.failure().reason;
  EXPECT_TRUE(*big == ftp.big) << "got " << big->size() << " bytes";
  EXPECT_GE(asked, 1);  // before it started

  // Line ends stay as they are: binary, never text mode.
  const auto text = fetch(connection.get(), "klein.txt");
  ASSERT_TRUE(text) << text.failure().reason;
  EXPECT_EQ(*text, "line one\r\nline two\n");

  // The name from the listing fetches the file it names.
  ASSERT_EQ(listing(connection.get()).size(), 4u);
  const auto umlaut = fetch(connection.get(), kUmlautName);
  ASSERT_TRUE(umlaut) << umlaut.failure().reason;
  EXPECT_EQ(*umlaut, "umlaut");
  EXPECT_EQ(ftp.count_log("LOGIN", 1), 1);
}

TEST(FtpTransfer, AMissingFileFailsWithTheServersWords) {
  PackageFolder ftp;
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  const auto missing = fetch(connection.get(), "fehlt.dll");
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.failure().reason.find("550"), std::string::npos) << missing.failure().reason;
  // The connection is still good for the next file.
  EXPECT_TRUE(fetch(connection.get(), "klein.txt"));
}

TEST(FtpTransfer, ABrokenTransferLeavesTheOldFileWhole) {
  PackageFolder ftp({"--abort-after", "100000"});
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  TempDir local;
  write_file(local / "paket.dll", "the old version");
  const auto fs = make_local_file_system(local.path());
  {
    auto target = fs->replace_file(local / "paket.dll");
    ASSERT_TRUE(target) << target.failure().reason;
    const Status fetched = transfer::get_file(connection.get(), "paket.dll", **target);
    ASSERT_FALSE(fetched);
    EXPECT_NE(fetched.failure().reason.find("fetch paket.dll"), std::string::npos) << fetched.failure().reason;
  }
  EXPECT_EQ(read_file(local / "paket.dll"), "the old version");
  EXPECT_EQ(file_names(local.path()), std::vector<std::string>{"paket.dll"});
}

// The server ends the data early and still confirms the transfer with 226:
// only the size it announced tells the file is short, listed or not.
TEST(FtpTransfer, ATransferShortOfTheAnnouncedSizeFails) {
  PackageFolder ftp({"--truncate-after", "100000"});
  for (const bool listed : {false, true}) {
    SCOPED_TRACE(listed ? "listed" : "not listed");
    const auto connection = connected(ftp);
    ASSERT_TRUE(connection);
    if (listed) {
      ASSERT_EQ(listing(connection.get()).size(), 4u);
    }
    const auto fetched = fetch(connection.get(), "paket.dll");
    ASSERT_FALSE(fetched);
    EXPECT_NE(fetched.failure().reason.find("received 100000 of 300000 bytes"), std::string::npos)
        << fetched.failure().reason;
  }
}

TEST(FtpTransfer, RefusedLoginsUnreachableServersAndBadNamesFail) {
  PackageFolder ftp;
  auto internet = transfer::open("QOR sync", quick_limits());
  ASSERT_TRUE(internet) << internet.failure().reason;
  const auto refused = transfer::connect(*internet, ftp.address(), kUser, "wrong");
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.failure().reason.find("530"), std::string::npos) << refused.failure().reason;

  const std::string nobody = "127.0.0.1:" + std::to_string(closed_port());
  const auto unreachable = transfer::connect(*internet, nobody, kUser, kPassword);
  ASSERT_FALSE(unreachable);
  EXPECT_EQ(unreachable.failure().code, 12029) << unreachable.failure().reason;  // ERROR_INTERNET_CANNOT_CONNECT

  for (const char* name : {"", "a b", "host:0", "host:65536", "host:x", "[::1", "[::1]x", "host:"}) {
    SCOPED_TRACE(name);
    const auto bad = transfer::connect(*internet, name, kUser, kPassword);
    ASSERT_FALSE(bad);
    EXPECT_NE(bad.failure().reason.find("no server name"), std::string::npos) << bad.failure().reason;
  }
  EXPECT_FALSE(transfer::connect(nullptr, ftp.address(), kUser, kPassword));
  MemorySink sink;
  EXPECT_FALSE(transfer::get_file(nullptr, "paket.dll", sink));
  FindData data;
  EXPECT_FALSE(transfer::find_first(nullptr, data));
}

// The caller may drop the handles in any order: each keeps what it was
// opened from.
TEST(FtpTransfer, HandlesKeepWhatTheyWereOpenedFrom) {
  PackageFolder ftp;
  auto internet = transfer::open("QOR sync", quick_limits());
  ASSERT_TRUE(internet);
  auto connection = transfer::connect(*internet, ftp.address(), kUser, kPassword);
  ASSERT_TRUE(connection) << connection.failure().reason;
  internet = Failure{"dropped"};
  FindData data;
  auto find = transfer::find_first(connection->get(), data);
  ASSERT_TRUE(find) << find.failure().reason;
  const auto file = fetch(connection->get(), "klein.txt");
  ASSERT_TRUE(file) << file.failure().reason;
  connection = Failure{"dropped"};
  int entries = 1;
  while (transfer::find_next(find->get(), data)) ++entries;
  EXPECT_EQ(entries, 4);
}

}  // namespace
}  // namespace qor::test
