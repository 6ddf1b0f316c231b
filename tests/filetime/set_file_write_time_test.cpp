// A version date as a file's last-write time: the local date by the UTC
// offset in effect when stamping, read back as the same date; dates a file
// time cannot hold are refused before the file system is asked.
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "filetime/filetime_steps.hpp"
#include "filetime/local_date.hpp"
#include "tests/support/files.hpp"
#include "tests/support/forwarding_file_system.hpp"
#include "tests/support/scoped_env.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor {
namespace {

using namespace std::chrono;

system_clock::time_point utc(int y, unsigned m, unsigned d, int h, int min = 0, int s = 0) {
  return sys_days{year{y} / month{m} / day{d}} + hours{h} + minutes{min} + seconds{s};
}

system_clock::time_point moment_of(const FILETIME& ft) {
  using Ticks = duration<std::int64_t, std::ratio<1, 10'000'000>>;
  return time_point_cast<system_clock::duration>(sys_days{year{1601} / January / 1} +
                                                 Ticks{static_cast<std::int64_t>(file_time_ticks(ft))});
}

// Notes the times it is asked to set, and fails when told to.
class StampingFileSystem : public test::ForwardingFileSystem {
 public:
  explicit StampingFileSystem(const std::string& program_folder) : ForwardingFileSystem(program_folder) {}
  std::vector<system_clock::time_point> stamps;
  std::optional<Failure> refusal;
  Status set_last_write_time(const std::string& path, const FILETIME& utc) override {
    stamps.push_back(moment_of(utc));
    if (refusal) return *refusal;
    return ForwardingFileSystem::set_last_write_time(path, utc);
  }
};

// Berlin time for one test: +1 h in winter, +2 h in summer.
class BerlinTime : public ::testing::Test {
 protected:
  test::ScopedEnv tz{"TZ", "Europe/Berlin"};
  test::TempDir dir;
  StampingFileSystem files{dir.path()};
};

TEST_F(BerlinTime, AUtcDateIsStampedAsItIs) {
  test::write_file(dir / "a.dll", "x");
  ASSERT_TRUE(set_file_write_time(files, dir / "a.dll", {2026, 12, 7, 14, 5, 9}, false));
  EXPECT_EQ(files.stamps, std::vector<system_clock::time_point>{utc(2026, 12, 7, 14, 5, 9)});
  EXPECT_EQ(test::last_write(dir / "a.dll"), utc(2026, 12, 7, 14, 5, 9));
}

TEST_F(BerlinTime, UsesTheOffsetInEffectWhenStampingAndReadsBackTheSameDate) {
  const std::string file = dir / "b.dll";
  test::write_file(file, "x");
  const auto winter = utc(2026, 1, 15, 12);
  const auto summer = utc(2026, 7, 15, 12);
  struct Case {
    DateValue date;
    system_clock::time_point now;
    system_clock::time_point expected_utc;
  };
  const Case cases[] = {
      {{2026, 1, 20, 12, 0, 0}, winter, utc(2026, 1, 20, 11)},     // +1 h, same season
      {{2026, 7, 1, 12, 0, 0}, winter, utc(2026, 7, 1, 11)},       // summer date, winter offset
      {{2026, 1, 20, 12, 0, 0}, summer, utc(2026, 1, 20, 10)},     // winter date, summer offset
      {{2026, 3, 29, 2, 30, 0}, winter, utc(2026, 3, 29, 1, 30)},  // a local time the spring skips
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date.month * 100 + c.date.day);
    ASSERT_TRUE(set_file_write_time(files, file, c.date, true, c.now));
    const auto written = files.DateLastModified(file);
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, c.expected_utc);
    EXPECT_EQ(utc_to_local_date(*written, c.now), c.date);
  }
}

TEST_F(BerlinTime, DatesNoFileTimeHoldsAreRefusedWithoutAskingTheFileSystem) {
  test::write_file(dir / "old.jpg", "x");
  for (const DateValue& date :
       {DateValue{1600, 6, 1, 12, 0, 0}, DateValue{2021, 2, 30, 12, 0, 0}, DateValue{2021, 13, 1, 0, 0, 0},
        DateValue{2021, 1, 1, 24, 0, 0}, DateValue{30828, 1, 1, 0, 0, 0},
        // East of UTC the first hour of 1601 lies before the file-time epoch.
        DateValue{1601, 1, 1, 0, 30, 0}}) {
    SCOPED_TRACE(date.year);
    const Status stamped = set_file_write_time(files, dir / "old.jpg", date, true);
    ASSERT_FALSE(stamped);
    EXPECT_NE(stamped.failure().reason.find("old.jpg"), std::string::npos) << stamped.failure().reason;
  }
  EXPECT_TRUE(files.stamps.empty());
}

// The caller tells the reason once, in its own words; the stamp says nothing.
TEST_F(BerlinTime, AStampTheFileSystemRefusesCarriesItsReason) {
  files.refusal = Failure{"stamp /x/a.dll: Read-only file system", EROFS};
  const test::StderrCapture errors;
  const Status stamped = set_file_write_time(files, "/x/a.dll", {2020, 1, 1, 0, 0, 0}, true);
  ASSERT_FALSE(stamped);
  EXPECT_EQ(stamped.failure().reason, "stamp /x/a.dll: Read-only file system");
  EXPECT_EQ(stamped.failure().code, EROFS);
  EXPECT_TRUE(errors.failure_lines().empty());
}

}  // namespace
}  // namespace qor
