// The FTP transfer layer through WinINet against tools/ftp_server.py on
// 127.0.0.1: the listing as the platform's find-data records, whole binary
// files, and every way a transfer can fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "file_system.hpp"
#include "files.hpp"
#include "ftp_transfer.hpp"
#include "test_server.hpp"
#include "wide_text.hpp"
#include "windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "windows_api.hpp"

namespace qor {
namespace {

using namespace std::chrono_literals;
using test::TempDir;
using test::TestServer;
using test::write_file;

constexpr const char* kUser = "qor";
constexpr const char* kPassword = "se=cret";  // '=' must reach the server as it is

std::string random_bytes(std::size_t n) {
  std::string bytes(n, '\0');
  std::mt19937 random(11);
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

class MemorySink final : public ByteSink {
 public:
  Status write(const char* data, std::size_t size) override {
    bytes.append(data, size);
    return {};
  }
  Status rewind() override {
    bytes.clear();
    return {};
  }
  std::string bytes;
};

// A login folder with a folder, a text file, a binary file larger than
// one piece and a name beyond ASCII, and the FTP server on it.
struct FtpServer {
  TempDir root;
  std::string big = random_bytes(300'000);
  std::unique_ptr<TestServer> server;
  explicit FtpServer(const std::vector<std::string>& options = {}, bool empty = false) {
    if (!empty) {
      CreateDirectoryW(win32::to_wide(root / "Bilder").c_str(), nullptr);
      write_file(root / "klein.txt", "line one\r\nline two\n");
      write_file(root / "paket.dll", big);
      write_file(root / "\xC3\xA4rger.txt", "umlaut");  // "ärger.txt"
    }
    std::vector<std::string> arguments = {"--root", root.path(), "--user", kUser, "--password", kPassword};
    arguments.insert(arguments.end(), options.begin(), options.end());
    server = std::make_unique<TestServer>("ftp_server", arguments);
  }
  std::string address() const { return server->address("ftp"); }
};

TransferLimits quick_limits() { return {5s, 3s}; }

std::shared_ptr<InternetHandle> connected(const FtpServer& ftp, const TransferLimits& limits = quick_limits()) {
  auto internet = transfer::open("QOR sync", limits);
  EXPECT_TRUE(internet) << internet.failure().reason;
  if (!internet) return nullptr;
  auto connection = transfer::connect(*internet, ftp.address(), kUser, kPassword);
  EXPECT_TRUE(connection) << connection.failure().reason;
  return connection ? *connection : nullptr;
}

std::vector<FindData> listing(const InternetHandle* connection) {
  std::vector<FindData> entries;
  FindData data;
  auto find = transfer::find_first(connection, data);
  EXPECT_TRUE(find) << find.failure().reason;
  if (!find) return entries;
  entries.push_back(data);
  while (transfer::find_next(find->get(), data)) entries.push_back(data);
  std::sort(entries.begin(), entries.end(),
            [](const FindData& a, const FindData& b) { return a.cFileName < b.cFileName; });
  return entries;
}

// WinINet's FTP functions speak the ANSI code page, on the wire too: the
// server's UTF-8 name arrives as the code page's characters for its bytes,
// and the same characters name the file again.
std::string as_the_code_page_reads(const std::string& bytes) { return win32::ansi_to_utf8(bytes); }

TEST(FtpTransfer, ListsTheLoginFolderAsFindDataRecords) {
  for (const bool dos : {false, true}) {
    SCOPED_TRACE(dos ? "DOS listing" : "Unix listing");
    FtpServer ftp(dos ? std::vector<std::string>{"--dos-listing"} : std::vector<std::string>{});
    const auto connection = connected(ftp);
    ASSERT_TRUE(connection);
    const auto entries = listing(connection.get());
    ASSERT_EQ(entries.size(), 4u);
    const std::string umlaut = as_the_code_page_reads("\xC3\xA4rger.txt");
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.cFileName);
    std::vector<std::string> expected = {"Bilder", "klein.txt", "paket.dll", umlaut};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    for (const auto& entry : entries) {
      SCOPED_TRACE(entry.cFileName);
      // Windows marks files FILE_ATTRIBUTE_NORMAL. Wine gives them no
      // attribute at all (0); the layer reads that as Windows' value, so
      // the same 128 arrives on both.
      EXPECT_EQ(entry.dwFileAttributes, entry.cFileName == "Bilder" ? 16u : 128u);
      if (entry.cFileName == "paket.dll") {
        EXPECT_EQ(entry.nFileSizeLow, 300'000u);
      }
    }
  }
}

TEST(FtpTransfer, AnEmptyFolderSaysNoMoreFilesAndLeavesTheRecord) {
  FtpServer ftp({}, true);
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

TEST(FtpTransfer, FetchesWholeFilesInBinaryAskingKeepGoingBetweenPieces) {
  FtpServer ftp;
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  MemorySink sink;
  int asked = 0;
  const Status fetched = transfer::get_file(connection.get(), "paket.dll", sink, [&] { return ++asked > 0; });
  ASSERT_TRUE(fetched) << fetched.failure().reason;
  EXPECT_TRUE(sink.bytes == ftp.big) << "got " << sink.bytes.size() << " bytes";
  EXPECT_GE(asked, 2);

  // Line ends stay as they are: binary, never text mode.
  MemorySink text;
  ASSERT_TRUE(transfer::get_file(connection.get(), "klein.txt", text));
  EXPECT_EQ(text.bytes, "line one\r\nline two\n");

  // The name from the listing fetches the file it names.
  MemorySink umlaut;
  const Status by_listed_name =
      transfer::get_file(connection.get(), as_the_code_page_reads("\xC3\xA4rger.txt"), umlaut);
  ASSERT_TRUE(by_listed_name) << by_listed_name.failure().reason;
  EXPECT_EQ(umlaut.bytes, "umlaut");
}

TEST(FtpTransfer, AMissingFileFailsWithTheServersWords) {
  FtpServer ftp;
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  MemorySink sink;
  const Status missing = transfer::get_file(connection.get(), "fehlt.dll", sink);
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.failure().reason.find("550"), std::string::npos) << missing.failure().reason;
  // The connection is still good for the next file.
  EXPECT_TRUE(transfer::get_file(connection.get(), "klein.txt", sink));
}

TEST(FtpTransfer, ABrokenTransferLeavesTheOldFileWhole) {
  FtpServer ftp({"--abort-after", "100000"});
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
  EXPECT_EQ(test::read_file(local / "paket.dll"), "the old version");
  EXPECT_EQ(test::file_names(local.path()), std::vector<std::string>{"paket.dll"});
}

TEST(FtpTransfer, ATransferShortOfTheAnnouncedSizeFails) {
  FtpServer ftp({"--truncate-after", "100000"});
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  MemorySink sink;
  const Status fetched = transfer::get_file(connection.get(), "paket.dll", sink);
  if (test::running_under_wine()) {
    // Wine's FtpGetFileSize is a stub that answers 0, and the server closes
    // the short transfer with 226, so nothing tells Wine the file is short.
    EXPECT_EQ(sink.bytes.size(), 100'000u);
    return;
  }
  ASSERT_FALSE(fetched);
  EXPECT_NE(fetched.failure().reason.find("received 100000 of 300000 bytes"), std::string::npos)
      << fetched.failure().reason;
}

TEST(FtpTransfer, KeepGoingSayingNoAbandonsTheTransfer) {
  FtpServer ftp;
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  MemorySink sink;
  int asked = 0;
  const Status fetched = transfer::get_file(connection.get(), "paket.dll", sink, [&] { return ++asked < 2; });
  ASSERT_FALSE(fetched);
  EXPECT_NE(fetched.failure().reason.find("abandoned"), std::string::npos) << fetched.failure().reason;
  EXPECT_LT(sink.bytes.size(), ftp.big.size());
}

TEST(FtpTransfer, AStalledTransferIsGivenUp) {
  // Wine's FTP reads wait for data without any limit (its receive time-outs
  // reach only HTTP), so under Wine a stalled transfer would wait for good.
  if (test::running_under_wine()) GTEST_SKIP() << "Wine's FTP reads have no time-out";
  FtpServer ftp({"--stall-after", "1000"});
  const auto connection = connected(ftp, {5s, 2s});
  ASSERT_TRUE(connection);
  MemorySink sink;
  const Status fetched = transfer::get_file(connection.get(), "paket.dll", sink);
  ASSERT_FALSE(fetched);
  EXPECT_LE(sink.bytes.size(), 1000u);
}

TEST(FtpTransfer, RefusedLoginsUnreachableServersAndBadNamesFail) {
  FtpServer ftp;
  auto internet = transfer::open("QOR sync", quick_limits());
  ASSERT_TRUE(internet) << internet.failure().reason;
  const auto refused = transfer::connect(*internet, ftp.address(), kUser, "wrong");
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.failure().reason.find("530"), std::string::npos) << refused.failure().reason;

  const std::string nobody = "127.0.0.1:" + std::to_string(test::free_local_port());
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
  FtpServer ftp;
  auto internet = transfer::open("QOR sync", quick_limits());
  ASSERT_TRUE(internet);
  auto connection = transfer::connect(*internet, ftp.address(), kUser, kPassword);
  ASSERT_TRUE(connection) << connection.failure().reason;
  internet = Failure{"dropped"};
  FindData data;
  auto find = transfer::find_first(connection->get(), data);
  ASSERT_TRUE(find) << find.failure().reason;
  connection = Failure{"dropped"};
  int entries = 1;
  while (transfer::find_next(find->get(), data)) ++entries;
  EXPECT_EQ(entries, 4);
}

}  // namespace
}  // namespace qor
