// Stamping last-write times on real files in a temporary folder.
#include <gtest/gtest.h>

#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "QOR_sync_file_MOD.hpp"
#include "install_test_support.hpp"
#include "local_time.hpp"

namespace qor {
namespace {

using namespace std::chrono;
using test::ScopedEnv;
using test::TempDir;

struct stat stat_of(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

system_clock::time_point utc(int y, unsigned m, unsigned d, int h, int min = 0) {
  return sys_days{year{y} / month{m} / day{d}} + hours{h} + minutes{min};
}

void set_times(const std::string& path, time_t atime, time_t mtime) {
  const timespec t[2] = {{atime, 123456789}, {mtime, 987654321}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
}

// Berlin time for one test: +1 h in winter, +2 h in summer.
class BerlinTime : public ::testing::Test {
 protected:
  BerlinTime() : tz_("TZ", "Europe/Berlin") { ::tzset(); }
  ~BerlinTime() override { ::tzset(); }

 private:
  ScopedEnv tz_;
};

TEST(SetFileWriteTime, ChangesOnlyTheWriteTimeToWholeSecondsAlsoOfAReadOnlyFile) {
  TempDir dir;
  const std::string file = dir / "a.dll";
  test::write_file(file, "payload");
  set_times(file, 1000000000, 1100000000);

  ASSERT_TRUE(set_file_write_time(file, {2026, 12, 7, 14, 5, 9}, false));
  const struct stat st = stat_of(file);
  EXPECT_EQ(st.st_mtim.tv_sec, 1796652309);
  EXPECT_EQ(st.st_mtim.tv_nsec, 0);
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_atim.tv_nsec, 123456789);
  EXPECT_EQ(test::read_file(file), "payload");

  // A read-only file is stamped and gets exactly its bits back.
  for (const mode_t mode : {mode_t{0444}, mode_t{0400}, mode_t{04555}}) {
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    EXPECT_TRUE(set_file_write_time(file, {2020, 5, 1, 8, 0, 0}, false)) << std::oct << mode;
    EXPECT_EQ(stat_of(file).st_mode & 07777, mode) << std::oct << mode;
    EXPECT_EQ(stat_of(file).st_mtim.tv_sec, 1588320000);
  }
}

TEST(SetFileWriteTime, RefusesWhatIsNoPlainFileOrNoStampableDateWithoutTouchingAnything) {
  TempDir dir;
  EXPECT_FALSE(set_file_write_time(dir / "missing.dll", {2020, 1, 1, 0, 0, 0}, true));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.dll"));
  EXPECT_FALSE(set_file_write_time(dir.path(), {2020, 1, 1, 0, 0, 0}, false));

  // A FIFO must neither block the caller nor be stamped.
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
  EXPECT_FALSE(set_file_write_time(dir / "pipe", {2020, 1, 1, 0, 0, 0}, false));

  const std::string file = dir / "old.jpg";
  test::write_file(file, "x");
  set_times(file, 1000000000, 1100000000);
  ::chmod(file.c_str(), 0444);
  EXPECT_FALSE(set_file_write_time(file, {1600, 6, 1, 12, 0, 0}, false));
  EXPECT_FALSE(set_file_write_time(file, {2021, 2, 30, 12, 0, 0}, false));
  EXPECT_EQ(stat_of(file).st_mtim.tv_sec, 1100000000);
  EXPECT_EQ(stat_of(file).st_mode & 07777, 0444u);
}

TEST_F(BerlinTime, UsesTheOffsetInEffectWhenStampingAndReadsBackTheSameDate) {
  TempDir dir;
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
    ASSERT_TRUE(set_file_write_time(file, c.date, true, c.now));
    const auto written = make_local_file_system()->DateLastModified(file);
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, c.expected_utc);
    EXPECT_EQ(utc_to_local_date(*written, c.now), c.date);
  }
}

}  // namespace
}  // namespace qor
