// What a broken or hostile FTP server could draw out without end is bounded,
// whichever implementation: a listing without end or trickling in, a
// download longer than announced or without end, an operation slower than
// its deadline, a disk brought down to its reserve. The caller is asked
// while any of them runs and may give it up, and no blocked call holds it.
#include <chrono>
#include <cstdint>

#include "platform/file_system.hpp"
#include "tests/platform/contract/transfer_fixture.hpp"

namespace qor::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// libcurl hands out entries as they arrive, so a cap ends a listing without
// end. WinINet reads a listing whole before it hands out the first entry
// (Wine's does; so may Windows'): there the deadline ends it.
TEST(FtpLimits, AListingWithoutEndFailsAndTheConnectionGoesOn) {
  FtpServer ftp;
  write_file(ftp.root / "a.dll", "a");
  ftp.start({"--endless-listing"});
  struct Case {
    const char* name;
    std::uint64_t max_bytes;
    std::size_t max_entries;
    const char* says;
  };
  for (const Case& c : {Case{"byte cap", 4 * kMiB, 200'000, "larger than 4194304 bytes"},
                        Case{"entry cap", 64 * kMiB, 1000, "more than 1000 entries"}}) {
    SCOPED_TRACE(c.name);
    TransferLimits limits = quick_limits();
    limits.deadline_floor = 2s;
    limits.max_listing_bytes = c.max_bytes;
    limits.max_listing_entries = c.max_entries;
    const auto connection = connected(ftp, limits);
    ASSERT_TRUE(connection);
    FindData data;
    data.cFileName = "before";
    Result<FindHandlePtr> find = Failure{"not listed"};
    const auto took = time_of([&] { find = transfer::find_first(connection.get(), data); });
    ASSERT_FALSE(find);
    const std::string& reason = find.failure().reason;
    if (!on_wininet()) {
      EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
    } else if (under_wine()) {
      EXPECT_NE(reason.find("took longer than 2 s"), std::string::npos) << reason;
    } else {
      EXPECT_TRUE(reason.find("took longer than 2 s") != std::string::npos || reason.find(c.says) != std::string::npos)
          << reason;
    }
    EXPECT_LT(took, 4s);
    EXPECT_NE(find.failure().code, transfer::kNoMoreFiles);
    EXPECT_EQ(data.cFileName, "before");
    const auto arrived = fetch(connection.get(), "a.dll");
    ASSERT_TRUE(arrived) << arrived.failure().reason;
    EXPECT_EQ(*arrived, "a");
  }
}

TEST(FtpLimits, AListingPastEitherCapFails) {
  FtpServer ftp;
  for (int i = 0; i < 30; ++i) write_file(ftp.root / ("f" + std::to_string(100 + i) + ".dll"), "x");
  ftp.start();
  TransferLimits limits = quick_limits();
  limits.max_listing_entries = 30;
  auto connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()).size(), 30u);  // just fits

  limits.max_listing_entries = 29;
  connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  FindData data;
  const auto too_many = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(too_many);
  EXPECT_NE(too_many.failure().reason.find("more than 29 entries"), std::string::npos) << too_many.failure().reason;

  // 269 bytes are fewer than the names alone take (30 of 8 bytes, and an
  // end each), let alone the lines the server writes.
  limits = quick_limits();
  limits.max_listing_bytes = 269;
  connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  const auto too_large = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(too_large);
  EXPECT_NE(too_large.failure().reason.find("larger than 269 bytes"), std::string::npos) << too_large.failure().reason;
  // The failed listing is no listing: nothing of it is remembered. WinINet
  // hands out records, not the server's lines, so there the cap counts the
  // names' bytes and 270 just fit; libcurl counts the lines as they came.
  limits.max_listing_bytes = on_wininet() ? 270 : 64 * kMiB;
  connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing(connection.get()).size(), 30u);
}

// A byte now and then passes any stall limit; only the deadline ends it.
TEST(FtpLimits, AListingTrickledInEndsAtItsDeadline) {
  FtpServer ftp;
  for (const char* name : {"one.dll", "two.dll", "three.dll"}) write_file(ftp.root / name, name);
  ftp.start({"--trickle-listing", "0.1"});
  TransferLimits limits = quick_limits();
  limits.deadline_floor = 2s;
  const auto connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  FindData data;
  Result<FindHandlePtr> find = Failure{"not listed"};
  const auto took = time_of([&] { find = transfer::find_first(connection.get(), data); });
  ASSERT_FALSE(find);
  EXPECT_NE(find.failure().reason.find("took longer than 2 s"), std::string::npos) << find.failure().reason;
  EXPECT_LT(took, 4s);
}

// The size is announced by the listing, or for a name not listed by the
// server's answer to SIZE; a byte beyond it ends the download.
TEST(FtpLimits, ADownloadLongerThanAnnouncedIsCutAndFails) {
  FtpServer ftp;
  write_file(ftp.root / "data.db3", pattern_bytes(100'000));
  for (const std::vector<std::string>& knob :
       {std::vector<std::string>{"--longer-download", "10"}, std::vector<std::string>{"--endless-download"}}) {
    SCOPED_TRACE(knob.front());
    ftp.start(knob);
    for (const bool listed : {true, false}) {
      SCOPED_TRACE(listed ? "listed" : "not listed");
      const auto connection = connected(ftp);
      ASSERT_TRUE(connection);
      if (listed) {
        EXPECT_EQ(listing_lines(connection.get()), std::vector<std::string>{"data.db3 128 100000"});
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

// A stall shorter than the stall time passes it, and WinINet's FTP reads
// have no time-out at all under Wine: the deadline ends the download, and
// the caller has its answer then, whatever a blocked read does.
TEST(FtpLimits, ADownloadThatOutlastsItsDeadlineIsGivenUp) {
  FtpServer ftp;
  write_file(ftp.root / "slow.bin", pattern_bytes(500'000));
  write_file(ftp.root / "next.dll", "next");
  ftp.start({"--stall-after", "1000"});
  TransferLimits limits = quick_limits();
  limits.stall_time = 60s;
  limits.deadline_floor = 2s;
  limits.min_rate = 100'000'000;  // 500,000 bytes add five milliseconds to the floor
  const auto connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  Result<std::string> arrived = std::string();
  const auto took = time_of([&] { arrived = fetch(connection.get(), "slow.bin"); });
  ASSERT_FALSE(arrived);
  EXPECT_NE(arrived.failure().reason.find("slow.bin: took longer than 2 s"), std::string::npos)
      << arrived.failure().reason;
  EXPECT_LT(took, 4s);
  // The connection logs in afresh for the next file.
  const auto next = fetch(connection.get(), "next.dll");
  ASSERT_TRUE(next) << next.failure().reason;
  EXPECT_EQ(*next, "next");
}

// Asked before the download and between pieces, also while a read is held
// up: the caller's no ends it at once, with the code that says so.
TEST(FtpLimits, TheCallerIsAskedWhileAReadIsHeldUpAndMayAbandonIt) {
  FtpServer ftp;
  write_file(ftp.root / "held.bin", pattern_bytes(1'000'000));
  write_file(ftp.root / "next.dll", "next");
  ftp.start({"--stall-after", "100000"});
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  int asked = 0;
  Result<std::string> abandoned = std::string();
  const auto took = time_of([&] { abandoned = fetch(connection.get(), "held.bin", [&asked] { return ++asked < 5; }); });
  ASSERT_FALSE(abandoned);
  EXPECT_EQ(abandoned.failure().code, transfer::kAbandoned);
  EXPECT_NE(abandoned.failure().reason.find("held.bin"), std::string::npos) << abandoned.failure().reason;
  EXPECT_EQ(asked, 5);
  EXPECT_LT(took, 2s);
  // The connection is opened again for the next file.
  const auto next = fetch(connection.get(), "next.dll", [] { return true; });
  ASSERT_TRUE(next) << next.failure().reason;
  EXPECT_EQ(*next, "next");
}

TEST(FtpLimits, ALoginOrListingMayBeAbandonedToo) {
  FtpServer ftp;
  write_file(ftp.root / "a.dll", "a");
  ftp.start({"--trickle-listing", "0.01"});
  const auto internet = transfer::open("QOR sync", quick_limits());
  ASSERT_TRUE(internet);
  const auto refused = transfer::connect(*internet, ftp.address(), kUser, kPassword, [] { return false; });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.failure().code, transfer::kAbandoned);
  EXPECT_EQ(ftp.count_log("LOGIN", 1, 2s), 0);  // nothing was sent
  const auto connection = transfer::connect(*internet, ftp.address(), kUser, kPassword, [] { return true; });
  ASSERT_TRUE(connection) << connection.failure().reason;
  int asked = 0;
  FindData data;
  const auto find = transfer::find_first(connection->get(), data, [&asked] { return ++asked < 3; });
  ASSERT_FALSE(find);
  EXPECT_EQ(find.failure().code, transfer::kAbandoned);
  EXPECT_EQ(asked, 3);
  // Nothing of the abandoned listing is left to confuse the next one.
  EXPECT_EQ(listing_lines(connection->get()), std::vector<std::string>{"a.dll 128 1"});
}

// A name the listing did not show, whose SIZE the server refuses, has no
// announced size: it may arrive whole, yet without end it stops at the cap.
TEST(FtpLimits, ADownloadWithoutAnnouncedSizeEndsAtItsCap) {
  FtpServer ftp;
  write_file(ftp.root / "data.db3", pattern_bytes(100'000));
  write_file(ftp.root / "other.dll", "o");
  TransferLimits limits = quick_limits();
  limits.max_unannounced_bytes = 4 * kMiB;
  limits.disk_reserve_floor = 0;
  for (const bool endless : {false, true}) {
    SCOPED_TRACE(endless ? "endless" : "ends");
    std::vector<std::string> knobs{"--refuse-size", "--unlisted", "data.db3"};
    if (endless) knobs.emplace_back("--endless-download");
    ftp.start(knobs);
    const auto connection = connected(ftp, limits);
    ASSERT_TRUE(connection);
    EXPECT_EQ(listing_lines(connection.get()), std::vector<std::string>{"other.dll 128 1"});
    MemorySink sink;
    // Far above the cap: what stops the download is the client, not the
    // sink or its disk.
    sink.capacity = 64 * kMiB;
    sink.refusal = Failure{"the sink overflowed"};
    sink.disk = DiskSpace{64 * kMiB, 64 * kMiB};
    const Status arrived = transfer::get_file(connection.get(), "data.db3", sink);
    if (!endless) {
      ASSERT_TRUE(arrived) << arrived.failure().reason;
      EXPECT_TRUE(sink.bytes == pattern_bytes(100'000)) << "got " << sink.bytes.size() << " bytes";
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
TEST(FtpLimits, ASizeAnswerFarAboveTheListingIsNotBelieved) {
  FtpServer ftp;
  const std::string content = pattern_bytes(100'000);
  write_file(ftp.root / "data.db3", content);
  ftp.start({"--size-answer", "1000000000000000"});
  auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing_lines(connection.get()), std::vector<std::string>{"data.db3 128 100000"});
  const auto listed = fetch(connection.get(), "data.db3");
  ASSERT_TRUE(listed) << listed.failure().reason;
  EXPECT_TRUE(*listed == content) << "got " << listed->size() << " bytes";

  connection = connected(ftp);
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
  ftp.start({"--size-answer", "16977216"});
  connection = connected(ftp);
  ASSERT_TRUE(connection);
  EXPECT_EQ(listing_lines(connection.get()).size(), 1u);
  const auto short_file = fetch(connection.get(), "data.db3");
  ASSERT_FALSE(short_file);
  EXPECT_NE(short_file.failure().reason.find("received 100000 of 16977216 bytes"), std::string::npos)
      << short_file.failure().reason;
}

// The sink's disk keeps its reserve (here 16 MiB, above 1 % of it): a
// download that does not fit above it is not begun, one that would eat into
// it is stopped, and a disk already down to it takes nothing more.
TEST(FtpLimits, ADownloadNeverEatsIntoTheDisksReserve) {
  FtpServer ftp;
  write_file(ftp.root / "two.bin", pattern_bytes(2 * kMiB));
  write_file(ftp.root / "tiny.dll", "t");
  write_file(ftp.root / "endless.bin", "e");
  ftp.start({"--endless-download", "--refuse-size", "--unlisted", "endless.bin"});
  TransferLimits limits = quick_limits();
  limits.disk_reserve_floor = 16 * kMiB;
  auto connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  ASSERT_EQ(listing_lines(connection.get()).size(), 2u);

  MemorySink too_big;
  too_big.disk = DiskSpace{17 * kMiB, 1024 * kMiB};
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

  connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  ASSERT_EQ(listing_lines(connection.get()).size(), 2u);
  MemorySink full;
  full.disk = DiskSpace{16 * kMiB - 1, 1024 * kMiB};
  const Status nothing_more = transfer::get_file(connection.get(), "tiny.dll", full);
  ASSERT_FALSE(nothing_more);
  EXPECT_NE(nothing_more.failure().reason.find("tiny.dll: the disk is down to 16777215 bytes free"), std::string::npos)
      << nothing_more.failure().reason;
}

// On the real disk, with a reserve above its free space: no download
// begins, listed or not; the old file stays and no temporary file remains.
TEST(FtpLimits, AReserveAboveTheFreeSpaceRefusesDownloadsAndKeepsTheOldFile) {
  FtpServer ftp;
  write_file(ftp.root / "paket.dll", "new content");
  ftp.start();
  TransferLimits limits = quick_limits();
  limits.disk_reserve_floor = std::uint64_t{1} << 62;
  TempDir program;
  write_file(program / "paket.dll", "old content");
  const auto file_system = make_local_file_system(program.path());
  for (const bool listed : {true, false}) {
    SCOPED_TRACE(listed ? "listed" : "not listed");
    const auto connection = connected(ftp, limits);
    ASSERT_TRUE(connection);
    if (listed) {
      EXPECT_EQ(listing_lines(connection.get()).size(), 1u);
    }
    auto target = file_system->replace_file(program / "paket.dll");
    ASSERT_TRUE(target) << target.failure().reason;
    const Status arrived = transfer::get_file(connection.get(), "paket.dll", **target);
    ASSERT_FALSE(arrived);
    EXPECT_NE(arrived.failure().reason.find("paket.dll: the disk is down to"), std::string::npos)
        << arrived.failure().reason;
  }
  EXPECT_EQ(read_file(program / "paket.dll"), "old content");
  EXPECT_EQ(file_names(program.path()), std::vector<std::string>{"paket.dll"});
}

}  // namespace
}  // namespace qor::test
