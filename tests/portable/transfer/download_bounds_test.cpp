// How far a download may go and when it counts as arrived, as both transfer
// layers hold it: the size the server answers to SIZE, the listing's size,
// the cap without either, the disk's reserve, and a download that ends short.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

#include "portable/transfer/download_bounds.hpp"

namespace qor {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// A sink that only tells how full its disk is; `looks` counts the asking.
class DiskOnly : public ByteSink {
 public:
  explicit DiskOnly(std::optional<DiskSpace> disk) : disk(disk) {}
  Status write(const char*, std::size_t) override { return {}; }
  Status rewind() override { return {}; }
  std::optional<DiskSpace> disk_space() const override {
    ++looks;
    return disk;
  }

  std::optional<DiskSpace> disk;
  mutable int looks = 0;
};

TEST(SizeInReply, TheNumberOfA213Answer) {
  EXPECT_EQ(size_in_reply("213 1234"), 1234u);
  // As libcurl hands a reply over: with its line end.
  EXPECT_EQ(size_in_reply("213 1234\r\n"), 1234u);
  EXPECT_EQ(size_in_reply("213 0"), 0u);
  EXPECT_EQ(size_in_reply("213 18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
}

TEST(SizeInReply, NoSizeFromAnyOtherAnswer) {
  EXPECT_EQ(size_in_reply(""), std::nullopt);
  EXPECT_EQ(size_in_reply("550 a.dll: No such file"), std::nullopt);
  EXPECT_EQ(size_in_reply("226 Transfer complete"), std::nullopt);
  EXPECT_EQ(size_in_reply("2131 5"), std::nullopt);
  EXPECT_EQ(size_in_reply("213-5"), std::nullopt);
  EXPECT_EQ(size_in_reply("213 "), std::nullopt);
  EXPECT_EQ(size_in_reply("213 size unknown"), std::nullopt);
  EXPECT_EQ(size_in_reply("213 -5"), std::nullopt);
  // Past what 64 bits hold: no size rather than a wrapped one.
  EXPECT_EQ(size_in_reply("213 18446744073709551616"), std::nullopt);
}

TEST(SizeToHoldTo, TheAnswerToSizeCountsOverTheListing) {
  EXPECT_EQ(size_to_hold_to(100, 120), 120u);
  EXPECT_EQ(size_to_hold_to(100, 80), 80u);
  EXPECT_EQ(size_to_hold_to(100, std::nullopt), 100u);
  EXPECT_EQ(size_to_hold_to(std::nullopt, 5 * kMiB * 1024), 5 * kMiB * 1024);
  EXPECT_EQ(size_to_hold_to(std::nullopt, std::nullopt), std::nullopt);
}

TEST(SizeToHoldTo, AnAnswerFarAboveTheListingIsNotBelieved) {
  EXPECT_EQ(size_to_hold_to(100, 200 + 16 * kMiB), 200 + 16 * kMiB);
  EXPECT_EQ(size_to_hold_to(100, 201 + 16 * kMiB), 100u);
  EXPECT_EQ(size_to_hold_to(0, 16 * kMiB + 1), 0u);
  // A listed size so large that the margin would overflow believes any answer.
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  EXPECT_EQ(size_to_hold_to(kMax / 2, kMax), kMax);
}

TEST(DiskReserve, TheLargerOfTheShareAndTheFloor) {
  TransferLimits limits;
  limits.disk_reserve_floor = 10 * kMiB;
  limits.disk_reserve_percent = 1;
  EXPECT_EQ(disk_reserve(limits, 100 * kMiB), 10 * kMiB);
  EXPECT_EQ(disk_reserve(limits, 10'000 * kMiB), 100 * kMiB);
  // A share above the whole disk is the whole disk.
  limits.disk_reserve_percent = 250;
  EXPECT_EQ(disk_reserve(limits, 10'000 * kMiB), 10'000 * kMiB);
}

TEST(DownloadBounds, BytesPastTheSizeAreCut) {
  const TransferLimits limits;
  DiskOnly sink(std::nullopt);
  DownloadBounds bounds(limits, sink, "fetch a.dll");
  EXPECT_EQ(bounds.refuse(10), std::nullopt);
  EXPECT_EQ(bounds.admit(10, 0, 10), std::nullopt);
  EXPECT_EQ(bounds.admit(10, 4, 6), std::nullopt);
  const auto past = bounds.admit(10, 4, 7);
  ASSERT_TRUE(past);
  EXPECT_EQ(past->reason, "fetch a.dll: more than the 10 bytes announced");
  ASSERT_TRUE(bounds.admit(0, 0, 1));
}

TEST(DownloadBounds, WithoutASizeTheCapHolds) {
  TransferLimits limits;
  limits.max_unannounced_bytes = 1000;
  DiskOnly sink(std::nullopt);
  DownloadBounds bounds(limits, sink, "fetch a.dll");
  EXPECT_EQ(bounds.refuse(std::nullopt), std::nullopt);
  EXPECT_EQ(bounds.admit(std::nullopt, 900, 100), std::nullopt);
  const auto past = bounds.admit(std::nullopt, 900, 101);
  ASSERT_TRUE(past);
  EXPECT_EQ(past->reason, "fetch a.dll: more than the 1000 bytes a download without an announced size may have");
}

TEST(DownloadBounds, ADownloadThatEndsShortDoesNotCountAsArrived) {
  const TransferLimits limits;
  DiskOnly sink(std::nullopt);
  const DownloadBounds bounds(limits, sink, "fetch a.dll");
  const auto short_file = bounds.fall_short(10, 4);
  ASSERT_TRUE(short_file);
  EXPECT_EQ(short_file->reason, "fetch a.dll: received 4 of 10 bytes");
  EXPECT_TRUE(bounds.fall_short(10, 9));
  EXPECT_TRUE(bounds.fall_short(10, 0));
  EXPECT_EQ(bounds.fall_short(10, 10), std::nullopt);
  EXPECT_EQ(bounds.fall_short(0, 0), std::nullopt);
  // Nobody announced a size: whatever came is the file.
  EXPECT_EQ(bounds.fall_short(std::nullopt, 0), std::nullopt);
  EXPECT_EQ(bounds.fall_short(std::nullopt, 12345), std::nullopt);
}

TEST(DownloadBounds, ASizeThatDoesNotFitAboveTheReserveIsNotStarted) {
  TransferLimits limits;
  limits.disk_reserve_floor = 10 * kMiB;
  DiskOnly sink(DiskSpace{15 * kMiB, 100 * kMiB});
  DownloadBounds bounds(limits, sink, "fetch a.dll");
  EXPECT_EQ(bounds.refuse(5 * kMiB), std::nullopt);
  const auto too_big = bounds.refuse(5 * kMiB + 1);
  ASSERT_TRUE(too_big);
  EXPECT_EQ(too_big->reason,
            "fetch a.dll: 5242881 bytes announced, but the disk has 5242880 bytes free beyond the reserve every "
            "download leaves free");
  sink.disk = DiskSpace{10 * kMiB, 100 * kMiB};
  EXPECT_EQ(bounds.refuse(std::nullopt), std::nullopt);
  sink.disk = DiskSpace{10 * kMiB - 1, 100 * kMiB};
  const auto full = bounds.refuse(std::nullopt);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->reason,
            "fetch a.dll: the disk is down to 10485759 bytes free, and every download leaves 10485760 bytes free");
}

TEST(DownloadBounds, ADiskThatDoesNotSayHowFullItIsHasNoReserve) {
  TransferLimits limits;
  limits.disk_reserve_floor = 10 * kMiB;
  DiskOnly sink(std::nullopt);
  DownloadBounds bounds(limits, sink, "fetch a.dll");
  EXPECT_EQ(bounds.refuse(1000 * kMiB), std::nullopt);
  EXPECT_EQ(bounds.admit(1000 * kMiB, 0, 900 * kMiB), std::nullopt);
}

// The disk fills from elsewhere while the download runs: the bounds look
// again once a MiB, and at once when the pieces may have used up its room.
TEST(DownloadBounds, ADiskThatFillsMeanwhileStopsTheDownload) {
  TransferLimits limits;
  limits.disk_reserve_floor = 10 * kMiB;
  DiskOnly sink(DiskSpace{100 * kMiB, 1000 * kMiB});
  DownloadBounds bounds(limits, sink, "fetch a.dll");
  ASSERT_EQ(bounds.refuse(std::nullopt), std::nullopt);
  const int looks = sink.looks;
  EXPECT_EQ(bounds.admit(std::nullopt, 0, 1024), std::nullopt);
  EXPECT_EQ(sink.looks, looks);  // a small piece does not ask the disk
  sink.disk = DiskSpace{10 * kMiB + 100, 1000 * kMiB};
  const auto full = bounds.admit(std::nullopt, 1024, kMiB);
  ASSERT_TRUE(full);
  EXPECT_EQ(full->reason,
            "fetch a.dll: the disk is down to 10485860 bytes free, and every download leaves 10485760 bytes free");

  // Room for less than a MiB: the piece that may use it up is looked at.
  DiskOnly tight(DiskSpace{10 * kMiB + 2048, 1000 * kMiB});
  DownloadBounds tight_bounds(limits, tight, "fetch b.dll");
  ASSERT_EQ(tight_bounds.refuse(std::nullopt), std::nullopt);
  EXPECT_EQ(tight_bounds.admit(std::nullopt, 0, 2048), std::nullopt);
  tight.disk->available -= 2048;  // written
  const int tight_looks = tight.looks;
  EXPECT_TRUE(tight_bounds.admit(std::nullopt, 2048, 1));
  EXPECT_EQ(tight.looks, tight_looks + 1);
}

}  // namespace
}  // namespace qor
