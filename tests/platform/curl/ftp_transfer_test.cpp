// The transfer layer against tools/ftp_server.py: listings entry by entry,
// downloads into a sink, one login for all of it, and failures that name
// what failed.
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/platform/curl/ftp_transfer_fixture.hpp"

namespace qor::test {
namespace {

using namespace std::chrono_literals;

TEST_F(FtpTransfer, ListsTheLoginFolderInEitherFormatWithNamesAsUtf8) {
  std::filesystem::create_directory(root / "Data");
  write_file(root / "A.exe", "12345");
  write_file(root / "My Program.EXE", "x");
  write_file(root / "Caf\xE9.txt", "xy");  // not UTF-8: read as Windows-1252
  write_file(root /
                 "\xC3\x9C"
                 "ber.txt",
             "xyz");
  for (const std::vector<std::string>& format : {std::vector<std::string>{}, {"--dos-listing"}}) {
    SCOPED_TRACE(format.empty() ? "Unix listing" : "DOS listing");
    start_server(format);
    const auto connection = connect();
    ASSERT_TRUE(connection);
    // The server sends its entries in byte order of their names.
    EXPECT_EQ(listing(connection.get()), (std::vector<std::string>{"A.exe 128 5", "Caf\u00e9.txt 128 2", "Data 16",
                                                                   "My Program.EXE 128 1", "\u00dcber.txt 128 3"}));
  }
}

TEST_F(FtpTransfer, AnEmptyFolderIsTheNoMoreFilesFailureAndLeavesTheRecord) {
  start_server();
  const auto connection = connect();
  ASSERT_TRUE(connection);
  WIN32_FIND_DATA data;
  data.cFileName = "before";
  const auto find = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(find);
  EXPECT_EQ(find.failure().code, transfer::kNoMoreFiles);
  EXPECT_EQ(data.cFileName, "before");
  EXPECT_FALSE(transfer::find_next(nullptr, data));
  EXPECT_FALSE(transfer::find_first(nullptr, data));
}

// What the user sees is one message; the reason a vendor reads must say
// which server and, for a refused login, which account.
TEST_F(FtpTransfer, AFailedConnectNamesTheServer) {
  start_server({"--refuse-login"});
  const auto internet = transfer::open("test");
  ASSERT_TRUE(internet);
  const std::string refusing = server->address("ftp");
  const std::string closed = "127.0.0.1:" + std::to_string(closed_port());
  struct Case {
    std::string server, names;
  };
  for (const Case& c : {Case{refusing, refusing}, Case{closed, closed}, Case{"", "\"\""},
                        Case{"127.0.0.1/x@" + refusing, "\"127.0.0.1/x@" + refusing + "\""},
                        Case{" " + refusing, "\" " + refusing + "\""}, Case{"host:0", "\"host:0\""}}) {
    SCOPED_TRACE("server '" + c.server + "'");
    const auto connection = transfer::connect(*internet, c.server, "qor", "pass word");
    ASSERT_FALSE(connection);
    EXPECT_NE(connection.failure().reason.find(c.names), std::string::npos) << connection.failure().reason;
  }
  const auto refused = transfer::connect(*internet, refusing, "qor", "pass word");
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.failure().reason.find("as qor"), std::string::npos) << refused.failure().reason;
  EXPECT_FALSE(transfer::connect(nullptr, refusing, "qor", "pass word"));
}

TEST_F(FtpTransfer, OneLoginServesTheListingAndEveryWholeBinaryDownload) {
  const std::string big = pattern_bytes(3'000'000);  // every byte value, CR and LF among them
  write_file(root / "big.bin", big);
  write_file(root / "c d.txt", "line\r\nline\n");
  write_file(root / "100%.dll", "percent");
  start_server();
  const auto connection = connect();
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()).size(), 3u);
  for (const auto& [name, content] : {std::pair{"big.bin", big}, std::pair{"c d.txt", std::string("line\r\nline\n")},
                                      std::pair{"100%.dll", std::string("percent")}, std::pair{"big.bin", big}}) {
    SCOPED_TRACE(name);
    MemorySink sink;
    const Status arrived = transfer::get_file(connection.get(), name, sink);
    ASSERT_TRUE(arrived) << arrived.failure().reason;
    EXPECT_EQ(sink.bytes, content);
    EXPECT_EQ(sink.rewinds, 0);
  }
  EXPECT_EQ(server->count_log("LOGIN", 1), 1);
  EXPECT_EQ(server->count_log("LIST", 1), 1);
  EXPECT_EQ(server->count_log("RETR", 4), 4);
}

// A transfer broken off midway, answered as an abort (426) or as if it were
// complete (226 after a short file), or a file that is not there.
TEST_F(FtpTransfer, AnIncompleteTransferFailsNamingTheFile) {
  write_file(root / "data.db3", pattern_bytes(1'000'000));
  for (const char* fault : {"--abort-after", "--truncate-after"}) {
    SCOPED_TRACE(fault);
    start_server({fault, "300000"});
    const auto connection = connect();
    ASSERT_TRUE(connection);
    MemorySink sink;
    const Status arrived = transfer::get_file(connection.get(), "data.db3", sink);
    ASSERT_FALSE(arrived);
    EXPECT_NE(arrived.failure().reason.find("data.db3"), std::string::npos) << arrived.failure().reason;
    EXPECT_LT(sink.bytes.size(), 1'000'000u);
    const Status missing = transfer::get_file(connection.get(), "missing.dll", sink);
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.failure().reason.find("missing.dll"), std::string::npos) << missing.failure().reason;
  }
  MemorySink sink;
  const Status unconnected = transfer::get_file(nullptr, "data.db3", sink);
  ASSERT_FALSE(unconnected);
  EXPECT_NE(unconnected.failure().reason.find("data.db3"), std::string::npos) << unconnected.failure().reason;
}

TEST_F(FtpTransfer, ASinkThatRefusesStopsTheTransferWithItsOwnReason) {
  write_file(root / "big.exe", pattern_bytes(2'000'000));
  write_file(root / "small.dll", "small");
  start_server();
  const auto connection = connect();
  ASSERT_TRUE(connection);
  MemorySink full;
  full.capacity = 100'000;
  full.refusal = Failure{"write big.exe: No space left on device", ENOSPC};
  const Status arrived = transfer::get_file(connection.get(), "big.exe", full);
  ASSERT_FALSE(arrived);
  EXPECT_EQ(arrived.failure().reason, full.refusal.reason);
  EXPECT_EQ(arrived.failure().code, ENOSPC);
  // The connection goes on serving.
  MemorySink next;
  EXPECT_TRUE(transfer::get_file(connection.get(), "small.dll", next));
  EXPECT_EQ(next.bytes, "small");
}

TEST_F(FtpTransfer, AStalledTransferIsGivenUpAfterTheStallTime) {
  write_file(root / "slow.bin", pattern_bytes(500'000));
  start_server({"--stall-after", "100000"});
  const auto connection = connect(TransferLimits{5s, 2s});
  ASSERT_TRUE(connection);
  MemorySink sink;
  const auto started = std::chrono::steady_clock::now();
  const Status arrived = transfer::get_file(connection.get(), "slow.bin", sink);
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_FALSE(arrived);
  EXPECT_NE(arrived.failure().reason.find("slow.bin"), std::string::npos) << arrived.failure().reason;
  EXPECT_GE(took, 1500ms);  // two seconds without a byte, by libcurl's rounded clock
  EXPECT_LT(took, 10s);
}

// The server closes control connections idle for two seconds (the test
// server's idle timer runs once the connection has listed); the next
// transfer logs in again by itself.
TEST_F(FtpTransfer, AControlConnectionClosedWhileIdleIsOpenedAgain) {
  write_file(root / "a.dll", "a");
  start_server({"--idle-close", "2"});
  const auto connection = connect();
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()).size(), 1u);
  ASSERT_EQ(server->count_log("LOGIN", 1), 1);
  std::this_thread::sleep_for(3500ms);
  for (int i = 0; i < 2; ++i) {
    MemorySink sink;
    const Status arrived = transfer::get_file(connection.get(), "a.dll", sink);
    ASSERT_TRUE(arrived) << arrived.failure().reason;
    EXPECT_EQ(sink.bytes, "a");
  }
  EXPECT_EQ(server->count_log("LOGIN", 2), 2);
}

}  // namespace
}  // namespace qor::test
