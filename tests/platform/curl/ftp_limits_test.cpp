// What a broken or hostile FTP server could draw out without end is bounded:
// a listing without end or trickling in, a download longer than announced
// or without end, an operation slower than its deadline. And the caller is
// asked between pieces whether a transfer goes on.
#include <chrono>

#include "tests/platform/curl/ftp_transfer_fixture.hpp"

namespace qor::test {
namespace {

using namespace std::chrono_literals;

TEST_F(FtpTransfer, AListingWithoutEndFailsAtItsByteCapAndTheConnectionGoesOn) {
  write_file(root / "a.dll", "a");
  start_server({"--endless-listing"});
  TransferLimits limits;
  limits.max_listing_bytes = std::size_t{4} << 20;
  const auto connection = connect(limits);
  ASSERT_TRUE(connection);
  WIN32_FIND_DATA data;
  data.cFileName = "before";
  const auto find = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(find);
  EXPECT_NE(find.failure().reason.find("larger than 4194304 bytes"), std::string::npos) << find.failure().reason;
  EXPECT_NE(find.failure().code, transfer::kNoMoreFiles);
  EXPECT_EQ(data.cFileName, "before");
  MemorySink sink;
  const Status arrived = transfer::get_file(connection.get(), "a.dll", sink);
  ASSERT_TRUE(arrived) << arrived.failure().reason;
  EXPECT_EQ(sink.bytes, "a");
}

TEST_F(FtpTransfer, AListingOfMoreEntriesThanTheCapFails) {
  for (int i = 0; i < 30; ++i) write_file(root / ("f" + std::to_string(100 + i) + ".dll"), "x");
  TransferLimits limits;
  limits.max_listing_entries = 30;
  start_server();
  auto connection = connect(limits);
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()).size(), 30u);  // just fits
  limits.max_listing_entries = 29;
  connection = connect(limits);
  ASSERT_TRUE(connection);
  WIN32_FIND_DATA data;
  const auto capped = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(capped);
  EXPECT_NE(capped.failure().reason.find("more than 29 entries"), std::string::npos) << capped.failure().reason;

  // Without end, the cap on entries ends it long before the byte cap.
  start_server({"--endless-listing"});
  limits.max_listing_entries = 1000;
  connection = connect(limits);
  ASSERT_TRUE(connection);
  const auto endless = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(endless);
  EXPECT_NE(endless.failure().reason.find("more than 1000 entries"), std::string::npos) << endless.failure().reason;
}

// A byte now and then passes any stall limit; only the deadline ends it.
TEST_F(FtpTransfer, AListingTrickledInEndsAtItsDeadline) {
  for (const char* name : {"one.dll", "two.dll", "three.dll"}) write_file(root / name, name);
  start_server({"--trickle-listing", "0.1"});
  TransferLimits limits;
  limits.deadline_floor = 2s;
  const auto connection = connect(limits);
  ASSERT_TRUE(connection);
  WIN32_FIND_DATA data;
  const auto find = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(find);
  EXPECT_NE(find.failure().reason.find("took longer than 2 s"), std::string::npos) << find.failure().reason;
}

// The size is announced by the listing, or for a name not listed by the
// server's answer to SIZE; a byte beyond it ends the download.
TEST_F(FtpTransfer, ADownloadLongerThanAnnouncedIsCutAndFails) {
  write_file(root / "data.db3", pattern_bytes(100'000));
  for (const std::vector<std::string>& knob :
       {std::vector<std::string>{"--longer-download", "10"}, std::vector<std::string>{"--endless-download"}}) {
    SCOPED_TRACE(knob.front());
    start_server(knob);
    for (const bool listed : {true, false}) {
      SCOPED_TRACE(listed ? "listed" : "not listed");
      const auto connection = connect();
      ASSERT_TRUE(connection);
      if (listed) {
        EXPECT_EQ(listing(connection.get()), std::vector<std::string>{"data.db3 128 100000"});
      }
      MemorySink sink;
      const Status arrived = transfer::get_file(connection.get(), "data.db3", sink);
      ASSERT_FALSE(arrived);
      EXPECT_NE(arrived.failure().reason.find("data.db3: more than the 100000 bytes announced"), std::string::npos)
          << arrived.failure().reason;
      EXPECT_LE(sink.bytes.size(), 100'000u);
    }
  }
}

TEST_F(FtpTransfer, ADownloadThatOutlastsItsDeadlineIsGivenUp) {
  write_file(root / "slow.bin", pattern_bytes(500'000));
  start_server({"--stall-after", "1000"});
  TransferLimits limits;
  limits.stall_time = 60s;
  limits.deadline_floor = 2s;
  limits.min_rate = 100'000'000;  // 500,000 bytes add five milliseconds to the floor
  const auto connection = connect(limits);
  ASSERT_TRUE(connection);
  MemorySink sink;
  const Status arrived = transfer::get_file(connection.get(), "slow.bin", sink);
  ASSERT_FALSE(arrived);
  EXPECT_NE(arrived.failure().reason.find("slow.bin: took longer than 2 s"), std::string::npos)
      << arrived.failure().reason;
}

TEST_F(FtpTransfer, TheCallerIsAskedBetweenPiecesAndMayAbandonTheTransfer) {
  write_file(root / "held.bin", pattern_bytes(1'000'000));
  write_file(root / "next.dll", "next");
  start_server({"--stall-after", "100000"});
  const auto connection = connect();
  ASSERT_TRUE(connection);
  int asked = 0;
  MemorySink sink;
  const Status abandoned = transfer::get_file(connection.get(), "held.bin", sink, [&asked] { return ++asked < 5; });
  ASSERT_FALSE(abandoned);
  EXPECT_EQ(abandoned.failure().code, transfer::kAbandoned);
  EXPECT_NE(abandoned.failure().reason.find("held.bin"), std::string::npos) << abandoned.failure().reason;
  EXPECT_EQ(asked, 5);
  // The connection is opened again for the next file.
  MemorySink next;
  const Status arrived = transfer::get_file(connection.get(), "next.dll", next, [] { return true; });
  ASSERT_TRUE(arrived) << arrived.failure().reason;
  EXPECT_EQ(next.bytes, "next");
}

TEST_F(FtpTransfer, ALoginOrListingMayBeAbandonedToo) {
  write_file(root / "a.dll", "a");
  start_server({"--trickle-listing", "0.01"});
  const auto internet = transfer::open("test");
  ASSERT_TRUE(internet);
  const auto refused = transfer::connect(*internet, server->address("ftp"), "qor", password, [] { return false; });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.failure().code, transfer::kAbandoned);
  int asked = 0;
  const auto connection = transfer::connect(*internet, server->address("ftp"), "qor", password, [] { return true; });
  ASSERT_TRUE(connection) << connection.failure().reason;
  WIN32_FIND_DATA data;
  const auto find = transfer::find_first(connection->get(), data, [&asked] { return ++asked < 3; });
  ASSERT_FALSE(find);
  EXPECT_EQ(find.failure().code, transfer::kAbandoned);
  // Nothing of the abandoned listing is left to confuse the next one.
  EXPECT_EQ(listing(connection->get()), std::vector<std::string>{"a.dll 128 1"});
}

}  // namespace
}  // namespace qor::test

namespace qor::test {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// A name the listing did not show, whose SIZE the server refuses, has no
// announced size: it may arrive whole, yet without end it stops at the cap.
TEST_F(FtpTransfer, ADownloadWithoutAnnouncedSizeEndsAtItsCap) {
  write_file(root / "data.db3", pattern_bytes(100'000));
  write_file(root / "other.dll", "o");
  TransferLimits limits;
  limits.max_unannounced_bytes = 4 * kMiB;
  for (const bool endless : {false, true}) {
    SCOPED_TRACE(endless ? "endless" : "ends");
    std::vector<std::string> knobs{"--refuse-size", "--unlisted", "data.db3"};
    if (endless) knobs.emplace_back("--endless-download");
    start_server(knobs);
    const auto connection = connect(limits);
    ASSERT_TRUE(connection);
    EXPECT_EQ(listing(connection.get()), std::vector<std::string>{"other.dll 128 1"});
    MemorySink sink;
    // Far above the cap: what stops the download is the client, not the sink.
    sink.capacity = 64 * kMiB;
    sink.refusal = Failure{"the sink overflowed"};
    const Status arrived = transfer::get_file(connection.get(), "data.db3", sink);
    if (!endless) {
      ASSERT_TRUE(arrived) << arrived.failure().reason;
      EXPECT_EQ(sink.bytes, pattern_bytes(100'000));
      continue;
    }
    ASSERT_FALSE(arrived);
    EXPECT_NE(arrived.failure().reason.find(
                  "data.db3: more than the 4194304 bytes a download without an announced size may have"),
              std::string::npos)
        << arrived.failure().reason;
    EXPECT_LE(sink.bytes.size(), 4 * kMiB);
  }
}

// SIZE is believed up to twice the listed size plus 16 MiB (a file may have
// grown since the listing); an answer beyond that is not, and the listing's
// size holds. Without a listing, the disk's room bounds what SIZE may say.
TEST_F(FtpTransfer, ASizeAnswerFarAboveTheListingIsNotBelieved) {
  write_file(root / "data.db3", pattern_bytes(100'000));
  start_server({"--size-answer", "1000000000000000"});
  auto connection = connect();
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()), std::vector<std::string>{"data.db3 128 100000"});
  MemorySink listed;
  const Status arrived = transfer::get_file(connection.get(), "data.db3", listed);
  ASSERT_TRUE(arrived) << arrived.failure().reason;
  EXPECT_EQ(listed.bytes, pattern_bytes(100'000));

  connection = connect();
  ASSERT_TRUE(connection);
  MemorySink unlisted;
  unlisted.disk = DiskSpace{64 * kMiB * 1024, 128 * kMiB * 1024};
  const Status refused = transfer::get_file(connection.get(), "data.db3", unlisted);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.failure().reason.find("data.db3: 1000000000000000 bytes announced, but the disk has"),
            std::string::npos)
      << refused.failure().reason;
  EXPECT_EQ(unlisted.bytes.size(), 0u);

  // Within the bound the answer counts: the file grew, and is not whole.
  start_server({"--size-answer", "16977216"});
  connection = connect();
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()).size(), 1u);
  MemorySink grown;
  const Status short_file = transfer::get_file(connection.get(), "data.db3", grown);
  ASSERT_FALSE(short_file);
  EXPECT_NE(short_file.failure().reason.find("received 100000 of 16977216 bytes"), std::string::npos)
      << short_file.failure().reason;
}

// The sink's disk keeps its reserve (here 16 MiB, above 1 % of it): a
// download that does not fit above it is not begun, one that would eat into
// it is stopped, and a disk already down to it takes nothing more.
TEST_F(FtpTransfer, ADownloadNeverEatsIntoTheDisksReserve) {
  write_file(root / "two.bin", pattern_bytes(2 * kMiB));
  write_file(root / "tiny.dll", "t");
  TransferLimits limits;
  limits.disk_reserve_floor = 16 * kMiB;
  const DiskSpace disk{17 * kMiB, 1024 * kMiB};
  start_server({"--endless-download", "--refuse-size", "--unlisted", "endless.bin"});
  write_file(root / "endless.bin", "e");
  auto connection = connect(limits);
  ASSERT_TRUE(connection);
  ASSERT_EQ(listing(connection.get()).size(), 2u);

  MemorySink too_big;
  too_big.disk = disk;
  const Status refused = transfer::get_file(connection.get(), "two.bin", too_big);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.failure().reason.find("two.bin: 2097152 bytes announced, but the disk has 1048576 bytes free"),
            std::string::npos)
      << refused.failure().reason;
  EXPECT_EQ(too_big.bytes.size(), 0u);

  MemorySink endless;
  endless.disk = DiskSpace{24 * kMiB, 1024 * kMiB};
  const Status stopped = transfer::get_file(connection.get(), "endless.bin", endless);
  ASSERT_FALSE(stopped);
  EXPECT_NE(stopped.failure().reason.find("endless.bin: the disk is down to"), std::string::npos)
      << stopped.failure().reason;
  EXPECT_NE(stopped.failure().reason.find("and every download leaves 16777216 bytes free"), std::string::npos)
      << stopped.failure().reason;
  // Not a byte of the reserve is taken.
  EXPECT_GE(endless.disk->available, 16 * kMiB);
  EXPECT_GT(endless.bytes.size(), 7 * kMiB);

  connection = connect(limits);
  ASSERT_TRUE(connection);
  ASSERT_EQ(listing(connection.get()).size(), 2u);
  MemorySink full;
  full.disk = DiskSpace{16 * kMiB - 1, 1024 * kMiB};
  const Status nothing_more = transfer::get_file(connection.get(), "tiny.dll", full);
  ASSERT_FALSE(nothing_more);
  EXPECT_NE(nothing_more.failure().reason.find("tiny.dll: the disk is down to 16777215 bytes free"), std::string::npos)
      << nothing_more.failure().reason;
}

}  // namespace
}  // namespace qor::test
