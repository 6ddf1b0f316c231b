// What a broken or hostile FTP server could draw out without end is bounded
// on Windows as well: a listing without end or trickling in, a download
// longer than announced or without end, an operation slower than its
// deadline. The caller is asked while any of them runs and may give it up,
// and the calls WinINet blocks in never hold the caller.
#include <chrono>

#include "ftp_transfer_fixture.hpp"
#include "windows_files.hpp"

namespace qor::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::chrono::milliseconds since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// WinINet reads a listing whole before it hands out the first entry (Wine's
// does; so may Windows'): a listing without end is ended by its deadline
// there, by its caps where entries come as they arrive.
TEST(FtpLimits, AListingWithoutEndFailsAndTheConnectionGoesOn) {
  FtpServer ftp;
  write_file(ftp.root / "a.dll", "a");
  ftp.start({"--endless-listing"});
  TransferLimits limits = quick_limits();
  limits.deadline_floor = 2s;
  limits.max_listing_entries = 1000;
  const auto connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  FindData data;
  data.cFileName = "before";
  const auto started = Clock::now();
  const auto find = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(find);
  const std::string& reason = find.failure().reason;
  EXPECT_TRUE(reason.find("took longer than 2 s") != std::string::npos ||
              reason.find("more than 1000 entries") != std::string::npos)
      << reason;
  if (running_under_wine()) {
    EXPECT_NE(reason.find("took longer than 2 s"), std::string::npos) << reason;
  }
  EXPECT_LT(since(started), 4s);
  EXPECT_NE(find.failure().code, transfer::kNoMoreFiles);
  EXPECT_EQ(data.cFileName, "before");
  const auto arrived = fetch(connection.get(), "a.dll");
  ASSERT_TRUE(arrived) << arrived.failure().reason;
  EXPECT_EQ(*arrived, "a");
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

  // The names' bytes: 30 names of 8 bytes, and an end each.
  limits = quick_limits();
  limits.max_listing_bytes = 269;
  connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  const auto too_large = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(too_large);
  EXPECT_NE(too_large.failure().reason.find("larger than 269 bytes"), std::string::npos) << too_large.failure().reason;
  // The failed listing is no listing: nothing of it is remembered.
  limits.max_listing_bytes = 270;
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
  const auto started = Clock::now();
  const auto find = transfer::find_first(connection.get(), data);
  ASSERT_FALSE(find);
  EXPECT_NE(find.failure().reason.find("took longer than 2 s"), std::string::npos) << find.failure().reason;
  EXPECT_LT(since(started), 4s);
}

// The size announced is the server's answer to SIZE, else the listing's; a
// byte beyond it ends the download.
TEST(FtpLimits, ADownloadLongerThanAnnouncedIsCutAndFails) {
  FtpServer ftp;
  write_file(ftp.root / "data.db3", random_bytes(100'000));
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

// WinINet's FTP reads have no time-out under Wine, and a stall of less than
// the stall time passes one on Windows: the deadline ends the download, and
// the caller has its answer then, whatever the blocked read does.
TEST(FtpLimits, ADownloadThatOutlastsItsDeadlineIsGivenUp) {
  FtpServer ftp;
  write_file(ftp.root / "slow.bin", random_bytes(500'000));
  write_file(ftp.root / "next.dll", "next");
  ftp.start({"--stall-after", "1000"});
  TransferLimits limits = quick_limits();
  limits.stall_time = 60s;
  limits.deadline_floor = 2s;
  limits.min_rate = 100'000'000;  // 500,000 bytes add five milliseconds to the floor
  const auto connection = connected(ftp, limits);
  ASSERT_TRUE(connection);
  const auto started = Clock::now();
  const auto arrived = fetch(connection.get(), "slow.bin");
  ASSERT_FALSE(arrived);
  EXPECT_NE(arrived.failure().reason.find("slow.bin: took longer than 2 s"), std::string::npos)
      << arrived.failure().reason;
  EXPECT_LT(since(started), 4s);
  // The connection logs in afresh for the next file.
  const auto next = fetch(connection.get(), "next.dll");
  ASSERT_TRUE(next) << next.failure().reason;
  EXPECT_EQ(*next, "next");
}

// Asked before the download and about every 25 ms while a read is held up:
// the caller's no ends it at once, with the code that says so.
TEST(FtpLimits, TheCallerIsAskedWhileAReadIsHeldUpAndMayAbandonIt) {
  FtpServer ftp;
  write_file(ftp.root / "held.bin", random_bytes(1'000'000));
  write_file(ftp.root / "next.dll", "next");
  ftp.start({"--stall-after", "100000"});
  const auto connection = connected(ftp);
  ASSERT_TRUE(connection);
  int asked = 0;
  const auto started = Clock::now();
  const auto abandoned = fetch(connection.get(), "held.bin", [&asked] { return ++asked < 5; });
  ASSERT_FALSE(abandoned);
  EXPECT_EQ(abandoned.failure().code, transfer::kAbandoned);
  EXPECT_NE(abandoned.failure().reason.find("held.bin"), std::string::npos) << abandoned.failure().reason;
  EXPECT_EQ(asked, 5);
  EXPECT_LT(since(started), 2s);
  const auto next = fetch(connection.get(), "next.dll", [] { return true; });
  ASSERT_TRUE(next) << next.failure().reason;
  EXPECT_EQ(*next, "next");
}

// The login and the listing block inside WinINet: the caller is asked
// while they run all the same.
TEST(FtpLimits, ALoginOrListingMayBeAbandonedToo) {
  FtpServer ftp;
  write_file(ftp.root / "a.dll", "a");
  ftp.start({"--trickle-listing", "0.01"});
  const auto internet = transfer::open("test", quick_limits());
  ASSERT_TRUE(internet);
  const auto refused = transfer::connect(*internet, ftp.address(), kUser, kPassword, [] { return false; });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.failure().code, transfer::kAbandoned);
  EXPECT_EQ(ftp.count_log("LOGIN", 1), 0);  // nothing was sent
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

}  // namespace
}  // namespace qor::test
