// The FTP transfer layer against tools/ftp_server.py on 127.0.0.1, whichever
// implementation it is built on: the listing as find-data records, whole
// binary files over one login, failures that name what failed, and handles
// the caller may drop in any order.
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/file_system.hpp"
#include "portable/transfer/download_resume.hpp"
#include "tests/platform/contract/transfer_fixture.hpp"

namespace qor::test {
namespace {

using namespace std::chrono_literals;

const std::string kUmlautName = "\xC3\xA4rger.txt";  // "ärger.txt"

// A folder, capitals, a size beyond 16 bits and a name beyond ASCII, in
// either listing format the servers write.
TEST(FtpTransfer, ListsTheLoginFolderInEitherFormatWithNamesAsUtf8) {
  FtpServer ftp;
  std::filesystem::create_directory(ftp.root / "Data");
  write_file(ftp.root / "A.exe", "12345");
  write_file(ftp.root / "MY.EXE", "x");
  write_file(ftp.root / "paket.dll", pattern_bytes(300'000));
  write_file(ftp.root /
                 "\xC3\x9C"
                 "ber.txt",
             "xyz");
  std::vector<std::string> expected = {"A.exe 128 5", "Data 16", "MY.EXE 128 1", "paket.dll 128 300000",
                                       "\u00dcber.txt 128 3"};
  // A name that is no UTF-8 is read as Windows-1252. Only a file system
  // whose names are bytes lets the test put one on the server.
  if (names_are_bytes()) {
    write_file(ftp.root / "Caf\xE9.txt", "xy");
    expected.insert(expected.begin() + 1, "Caf\u00e9.txt 128 2");
  }
  for (const std::vector<std::string>& format : {std::vector<std::string>{}, {"--dos-listing"}}) {
    SCOPED_TRACE(format.empty() ? "Unix listing" : "DOS listing");
    ftp.start(format);
    const auto connection = connected(ftp);
    ASSERT_TRUE(connection);
    EXPECT_EQ(listing_lines(connection.get()), expected);
  }
}

// Wine's WinINet cuts a listed name at its first space, in either listing
// format: "My Program.EXE" comes out as "My". Windows' own is not measured
// here.
TEST(FtpTransfer, AListedNameKeepsItsSpaces) {
  if (under_wine()) GTEST_SKIP() << "Wine's WinINet cuts a listed name at its first space";
  FtpServer ftp;
  write_file(ftp.root / "My Program.EXE", "x");
  write_file(ftp.root / "read me.txt", "xy");
  for (const std::vector<std::string>& format : {std::vector<std::string>{}, {"--dos-listing"}}) {
    SCOPED_TRACE(format.empty() ? "Unix listing" : "DOS listing");
    ftp.start(format);
    const auto connection = connected(ftp);
    ASSERT_TRUE(connection);
    EXPECT_EQ(listing_lines(connection.get()), (std::vector<std::string>{"My Program.EXE 128 1", "read me.txt 128 2"}));
  }
}

TEST(FtpTransfer, AnEmptyFolderIsTheNoMoreFilesFailureAndLeavesTheRecord) {
  FtpServer ftp;
  ftp.start();
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  FindData data;
  data.cFileName = "before";
  const auto find = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(find);
  EXPECT_EQ(find.failure().code, transfer::kNoMoreFiles);
  EXPECT_EQ(data.cFileName, "before");
  EXPECT_FALSE(transfer::find_next(nullptr, data));
  EXPECT_FALSE(transfer::find_first(nullptr, data));
}

// What the user sees is one message; the reason a vendor reads must say
// which server and, for a refused login, which account and the server's
// words.
TEST(FtpTransfer, AFailedConnectNamesTheServer) {
  FtpServer ftp;
  ftp.start({"--refuse-login"});
  const auto internet = transfer::open("QOR sync", quick_limits());
  ASSERT_TRUE(internet) << internet.failure().reason;
  const std::string refusing = ftp.address();
  const std::string closed = "127.0.0.1:" + std::to_string(closed_port());
  struct Case {
    std::string server, names;
  };
  for (const Case& c : {Case{refusing, refusing}, Case{closed, closed}, Case{"", "\"\""},
                        Case{"127.0.0.1/x@" + refusing, "\"127.0.0.1/x@" + refusing + "\""},
                        Case{" " + refusing, "\" " + refusing + "\""}, Case{"host:0", "\"host:0\""}}) {
    SCOPED_TRACE("server '" + c.server + "'");
    const auto connection = transfer::connect(*internet, c.server, kUser, kPassword);
    ASSERT_FALSE(connection);
    EXPECT_NE(connection.failure().reason.find(c.names), std::string::npos) << connection.failure().reason;
  }
  const auto refused = transfer::connect(*internet, refusing, kUser, kPassword);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.failure().reason.find("as qor"), std::string::npos) << refused.failure().reason;
  EXPECT_NE(refused.failure().reason.find("530"), std::string::npos) << refused.failure().reason;
  EXPECT_FALSE(transfer::connect(nullptr, refusing, kUser, kPassword));
}

// A name that cannot be a server fails before anything goes out.
TEST(FtpTransfer, AServerNameThatIsNoServerFails) {
  const auto internet = transfer::open("QOR sync", quick_limits());
  ASSERT_TRUE(internet) << internet.failure().reason;
  for (const char* name : {"", "a b", "host:0", "host:65536", "host:x", "[::1", "[::1]x", "host:"}) {
    SCOPED_TRACE(name);
    const auto bad = transfer::connect(*internet, name, kUser, kPassword);
    ASSERT_FALSE(bad);
    EXPECT_NE(bad.failure().reason.find("no server name"), std::string::npos) << bad.failure().reason;
  }
}

TEST(FtpTransfer, AnUnreachableServerFailsWithTheSystemsCode) {
  const auto internet = transfer::open("QOR sync", quick_limits());
  ASSERT_TRUE(internet) << internet.failure().reason;
  const std::string nobody = "127.0.0.1:" + std::to_string(closed_port());
  const auto unreachable = transfer::connect(*internet, nobody, kUser, kPassword);
  ASSERT_FALSE(unreachable);
  EXPECT_NE(unreachable.failure().reason.find(nobody), std::string::npos) << unreachable.failure().reason;
  EXPECT_NE(unreachable.failure().code, 0) << unreachable.failure().reason;
  // The code is the platform's own.
  if (on_wininet()) {
    EXPECT_EQ(unreachable.failure().code, 12029) << unreachable.failure().reason;  // ERROR_INTERNET_CANNOT_CONNECT
  }
}

TEST(FtpTransfer, OneLoginServesTheListingAndEveryWholeBinaryDownload) {
  FtpServer ftp;
  const std::string big = pattern_bytes(3'000'000);  // every byte value, CR and LF among them
  write_file(ftp.root / "big.bin", big);
  write_file(ftp.root / "c d.txt", "line\r\nline\n");
  write_file(ftp.root / "100%.dll", "percent");
  write_file(ftp.root / kUmlautName, "umlaut");
  ftp.start();
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()).size(), 4u);
  // Line ends stay as they are: binary, never text mode. The name from the
  // listing fetches the file it names.
  for (const auto& [name, content] :
       {std::pair{std::string("big.bin"), big}, std::pair{std::string("c d.txt"), std::string("line\r\nline\n")},
        std::pair{std::string("100%.dll"), std::string("percent")}, std::pair{kUmlautName, std::string("umlaut")},
        std::pair{std::string("big.bin"), big}}) {
    SCOPED_TRACE(name);
    MemorySink sink;
    int asked = 0;
    const Status arrived = transfer::get_file(connection.get(), name, sink, [&] { return ++asked > 0; });
    ASSERT_TRUE(arrived) << arrived.failure().reason;
    EXPECT_TRUE(sink.bytes == content) << "got " << sink.bytes.size() << " bytes";
    EXPECT_EQ(sink.rewinds, 0);
    EXPECT_GE(asked, 1);  // before it started
  }
  EXPECT_EQ(ftp.count_log("LOGIN", 1), 1);
  EXPECT_EQ(ftp.count_log("LIST", 1), 1);
  EXPECT_EQ(ftp.count_log("RETR", 5), 5);
}

TEST(FtpTransfer, AMissingFileFailsNamingItWithTheServersWords) {
  FtpServer ftp;
  write_file(ftp.root / "klein.txt", "klein");
  ftp.start();
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  const auto missing = fetch(connection.get(), "fehlt.dll");
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.failure().reason.find("fehlt.dll"), std::string::npos) << missing.failure().reason;
  EXPECT_NE(missing.failure().reason.find(words("does not exist", "550")), std::string::npos)
      << missing.failure().reason;
  // The connection is still good for the next file.
  const auto next = fetch(connection.get(), "klein.txt");
  ASSERT_TRUE(next) << next.failure().reason;
  EXPECT_EQ(*next, "klein");
  MemorySink sink;
  const Status unconnected = transfer::get_file(nullptr, "klein.txt", sink);
  ASSERT_FALSE(unconnected);
  EXPECT_NE(unconnected.failure().reason.find("klein.txt"), std::string::npos) << unconnected.failure().reason;
}

// A transfer broken off midway (426) fails naming the file, and the file it
// was to replace on the disk stays as it was, with nothing left beside it.
TEST(FtpTransfer, ABrokenTransferFailsAndLeavesTheOldFileWhole) {
  FtpServer ftp;
  write_file(ftp.root / "paket.dll", pattern_bytes(1'000'000));
  ftp.start({"--abort-after", "300000"});
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  MemorySink sink;
  const Status arrived = transfer::get_file(connection.get(), "paket.dll", sink);
  ASSERT_FALSE(arrived);
  EXPECT_NE(arrived.failure().reason.find("paket.dll"), std::string::npos) << arrived.failure().reason;
  EXPECT_LT(sink.bytes.size(), 1'000'000u);

  TempDir local;
  write_file(local / "paket.dll", "the old version");
  const auto fs = make_local_file_system(local.path());
  {
    auto target = fs->replace_file(local / "paket.dll");
    ASSERT_TRUE(target) << target.failure().reason;
    const Status fetched = transfer::get_file(connection.get(), "paket.dll", **target);
    ASSERT_FALSE(fetched);
    EXPECT_NE(fetched.failure().reason.find("paket.dll"), std::string::npos) << fetched.failure().reason;
  }
  EXPECT_EQ(read_file(local / "paket.dll"), "the old version");
  EXPECT_EQ(file_names(local.path()), std::vector<std::string>{"paket.dll"});
}

// A transfer that breaks off (426, or a stall past the stall time) goes on
// from the byte it reached, once or twice per file: REST a little before
// it, so that the bytes sent again show the server continues the file.
// What goes over the wire after a break is the rest of the file and that
// overlap, and the sink gets every byte once. (Wine's WinINet applies no
// time-out to FTP reads: there a stall lasts until the deadline.)
TEST(FtpResume, ATransferBrokenOffOnceOrTwiceGoesOnFromTheByteReached) {
  constexpr std::uint64_t kSize = 1'000'000;
  constexpr std::uint64_t kBreak = 300'000;
  constexpr std::uint64_t kOverlap = DownloadResume::kOverlap;
  FtpServer ftp;
  const std::string content = pattern_bytes(kSize);
  write_file(ftp.root / "paket.dll", content);
  std::vector<const char*> faults{"--abort-after"};
  if (!under_wine()) faults.push_back("--stall-after");
  for (const char* fault : faults) {
    for (const int breaks : {1, 2}) {
      SCOPED_TRACE(std::string(fault) + ", broken off " + std::to_string(breaks) + " times");
      ftp.start({fault, std::to_string(kBreak), "--breaks", std::to_string(breaks), "--log-commands"});
      const auto connection = connected(ftp, TransferLimits{5s, 2s});
      ASSERT_TRUE(connection);
      MemorySink sink;
      const Status arrived = transfer::get_file(connection.get(), "paket.dll", sink);
      ASSERT_TRUE(arrived) << arrived.failure().reason;
      EXPECT_TRUE(sink.bytes == content) << "got " << sink.bytes.size() << " bytes";
      EXPECT_EQ(sink.written, kSize);
      EXPECT_EQ(sink.rewinds, 0);
      // Each transfer breaks off after kBreak bytes of its own.
      EXPECT_EQ(ftp.count_log("COMMAND REST " + std::to_string(kBreak - kOverlap), 1), 1);
      if (breaks == 2) {
        EXPECT_EQ(ftp.count_log("COMMAND REST " + std::to_string(2 * (kBreak - kOverlap)), 1), 1);
      }
      EXPECT_EQ(ftp.count_log("COMMAND REST", breaks + 1, 1s), breaks);
      EXPECT_EQ(ftp.count_log("RETR ", breaks + 1), breaks + 1);
      const auto sent = ftp.sent(breaks + 1);
      ASSERT_EQ(sent.size(), static_cast<std::size_t>(breaks + 1));
      std::uint64_t after_break = 0;
      for (std::size_t i = 1; i < sent.size(); ++i) after_break += sent[i];
      EXPECT_LE(after_break, kSize - kBreak + breaks * kOverlap);
    }
  }
}

// A third break ends the download as a failure, as the first did before
// resumes: the file it was to replace stays as it was.
TEST(FtpResume, AFileBrokenOffThreeTimesFailsAfterTwoResumesAndTheOldFileStays) {
  FtpServer ftp;
  write_file(ftp.root / "paket.dll", pattern_bytes(1'000'000));
  ftp.start({"--abort-after", "300000", "--log-commands"});
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
    EXPECT_NE(fetched.failure().reason.find("paket.dll"), std::string::npos) << fetched.failure().reason;
  }
  EXPECT_EQ(ftp.count_log("COMMAND REST", 2), 2);
  EXPECT_EQ(ftp.count_log("RETR ", 4, 1s), 3);
  EXPECT_EQ(read_file(local / "paket.dll"), "the old version");
  EXPECT_EQ(file_names(local.path()), std::vector<std::string>{"paket.dll"});
}

// A server that refuses REST, or answers it and sends from the first byte
// all the same: the download starts over, and the bytes that do not
// continue the file never reach the sink.
TEST(FtpResume, AServerThatRefusesOrIgnoresRestGetsTheFileFromTheStart) {
  constexpr std::uint64_t kSize = 1'000'000;
  FtpServer ftp;
  const std::string content = pattern_bytes(kSize);
  write_file(ftp.root / "paket.dll", content);
  for (const char* rest : {"refuse", "ignore"}) {
    SCOPED_TRACE(rest);
    ftp.start({"--abort-after", "300000", "--breaks", "1", "--rest", rest, "--log-commands"});
    const auto connection = connected(ftp);
    ASSERT_TRUE(connection);
    MemorySink sink;
    const Status arrived = transfer::get_file(connection.get(), "paket.dll", sink);
    ASSERT_TRUE(arrived) << arrived.failure().reason;
    EXPECT_TRUE(sink.bytes == content) << "got " << sink.bytes.size() << " bytes";
    EXPECT_EQ(sink.rewinds, 1);
    EXPECT_EQ(sink.written, 300'000 + kSize);
    EXPECT_EQ(ftp.count_log("COMMAND REST", 2, 1s), 1);
  }
}

// Every transfer stalls: the stall time (two seconds) ends each, yet the
// deadline (five) counts from the first, and ends the download before the
// third stall would. Wine's WinINet has no stall time: the deadline alone.
TEST(FtpResume, TheDeadlineHoldsAcrossTheResumes) {
  FtpServer ftp;
  write_file(ftp.root / "slow.bin", pattern_bytes(500'000));
  ftp.start({"--stall-after", "100000"});
  TransferLimits limits = quick_limits();
  limits.stall_time = 2s;
  limits.deadline_floor = 5s;
  limits.min_rate = 100'000'000;  // 500,000 bytes add five milliseconds to the floor
  const auto connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  Result<std::string> arrived = std::string();
  const auto took = time_of([&] { arrived = fetch(connection.get(), "slow.bin"); });
  ASSERT_FALSE(arrived);
  EXPECT_NE(arrived.failure().reason.find("slow.bin: took longer than 5 s"), std::string::npos)
      << arrived.failure().reason;
  EXPECT_LT(took, 7s);
}

// The server ends the data early and still confirms the transfer with 226:
// only the size announced tells the file is short, listed or not.
TEST(FtpTransfer, ATransferShortOfTheAnnouncedSizeFails) {
  FtpServer ftp;
  write_file(ftp.root / "data.db3", pattern_bytes(1'000'000));
  ftp.start({"--truncate-after", "300000"});
  for (const bool listed : {false, true}) {
    SCOPED_TRACE(listed ? "listed" : "not listed");
    const auto connection = connected(ftp);
    ASSERT_TRUE(connection);
    if (listed) {
      ASSERT_EQ(listing(connection.get()).size(), 1u);
    }
    MemorySink sink;
    const Status arrived = transfer::get_file(connection.get(), "data.db3", sink);
    ASSERT_FALSE(arrived);
    EXPECT_NE(arrived.failure().reason.find("data.db3"), std::string::npos) << arrived.failure().reason;
    EXPECT_NE(arrived.failure().reason.find("received 300000 of 1000000 bytes"), std::string::npos)
        << arrived.failure().reason;
  }
}

TEST(FtpTransfer, ASinkThatRefusesStopsTheTransferWithItsOwnReason) {
  FtpServer ftp;
  write_file(ftp.root / "big.exe", pattern_bytes(2'000'000));
  write_file(ftp.root / "small.dll", "small");
  ftp.start();
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  MemorySink full;
  full.capacity = 100'000;
  full.refusal = Failure{"write big.exe: No space left on device", ENOSPC};
  const Status arrived = transfer::get_file(connection.get(), "big.exe", full);
  ASSERT_FALSE(arrived);
  EXPECT_EQ(arrived.failure().reason, full.refusal.reason);
  EXPECT_EQ(arrived.failure().code, ENOSPC);
  // The connection goes on serving.
  const auto next = fetch(connection.get(), "small.dll");
  ASSERT_TRUE(next) << next.failure().reason;
  EXPECT_EQ(*next, "small");
}

// WinINet is given the stall time as its receive time-out; Wine's applies
// none to FTP reads, and there only the deadline (here 90 s) ends the
// download. Every transfer stalls: the first and its two resumes.
TEST(FtpTransfer, AStalledTransferIsGivenUpAfterTheStallTime) {
  if (under_wine()) GTEST_SKIP() << "Wine's WinINet applies no receive time-out to FTP reads";
  FtpServer ftp;
  write_file(ftp.root / "slow.bin", pattern_bytes(500'000));
  ftp.start({"--stall-after", "100000"});
  const auto connection = connected(ftp, TransferLimits{5s, 2s});
  ASSERT_TRUE(connection);
  MemorySink sink;
  Status arrived;
  const auto took = time_of([&] { arrived = transfer::get_file(connection.get(), "slow.bin", sink); });
  ASSERT_FALSE(arrived);
  EXPECT_NE(arrived.failure().reason.find("slow.bin"), std::string::npos) << arrived.failure().reason;
  // Two seconds without a byte each, by libcurl's rounded clock.
  EXPECT_GE(took, 4500ms);
  EXPECT_LT(took, 15s);
}

// The server closes control connections idle for two seconds (the test
// server's idle timer runs once the connection has listed); the next
// transfer logs in again by itself.
TEST(FtpTransfer, AControlConnectionClosedWhileIdleIsOpenedAgain) {
  FtpServer ftp;
  write_file(ftp.root / "a.dll", "a");
  ftp.start({"--idle-close", "2"});
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()).size(), 1u);
  ASSERT_EQ(ftp.count_log("LOGIN", 1), 1);
  std::this_thread::sleep_for(3500ms);
  for (int i = 0; i < 2; ++i) {
    const auto arrived = fetch(connection.get(), "a.dll");
    ASSERT_TRUE(arrived) << arrived.failure().reason;
    EXPECT_EQ(*arrived, "a");
  }
  EXPECT_EQ(ftp.count_log("LOGIN", 2), 2);
}

// The caller may drop the handles in any order: each keeps what it was
// opened from.
TEST(FtpTransfer, HandlesKeepWhatTheyWereOpenedFrom) {
  FtpServer ftp;
  for (const char* name : {"a.dll", "b.dll", "klein.txt", "z.exe"}) write_file(ftp.root / name, name);
  ftp.start();
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
  EXPECT_EQ(*file, "klein.txt");
  connection = Failure{"dropped"};
  int entries = 1;
  while (transfer::find_next(find->get(), data)) ++entries;
  EXPECT_EQ(entries, 4);
}

}  // namespace
}  // namespace qor::test
