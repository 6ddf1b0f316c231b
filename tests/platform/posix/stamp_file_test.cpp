// Setting the last-write time of real files: only that time changes, a
// read-only file gets its exact bits back, and what is no plain file is
// refused with the reason, without blocking.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>

#include "platform/linux/files/stamp_file.hpp"
#include "tests/support/files.hpp"

namespace qor {
namespace {

using test::TempDir;

// The FILETIME of a moment given in seconds since 1970.
FILETIME file_time_of(std::int64_t unix_seconds) {
  const auto ticks = static_cast<std::uint64_t>(unix_seconds + 11'644'473'600) * 10'000'000;
  return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

struct stat stat_of(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

void set_times(const std::string& path, time_t atime, time_t mtime) {
  const timespec t[2] = {{atime, 123456789}, {mtime, 987654321}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
}

TEST(StampFile, ChangesOnlyTheWriteTimeToWholeSecondsAlsoOfAReadOnlyFile) {
  TempDir dir;
  const std::string file = dir / "a.dll";
  test::write_file(file, "payload");
  set_times(file, 1000000000, 1100000000);

  ASSERT_TRUE(stamp_last_write_time(file, file_time_of(1796652309)));
  const struct stat st = stat_of(file);
  EXPECT_EQ(st.st_mtim.tv_sec, 1796652309);
  EXPECT_EQ(st.st_mtim.tv_nsec, 0);
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
  EXPECT_EQ(st.st_atim.tv_nsec, 123456789);
  EXPECT_EQ(test::read_file(file), "payload");

  for (const mode_t mode : {mode_t{0444}, mode_t{0400}, mode_t{04555}}) {
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    EXPECT_TRUE(stamp_last_write_time(file, file_time_of(1588320000))) << std::oct << mode;
    EXPECT_EQ(stat_of(file).st_mode & 07777, mode) << std::oct << mode;
    EXPECT_EQ(stat_of(file).st_mtim.tv_sec, 1588320000);
  }
  // Before 1970 is a time like any other.
  ASSERT_TRUE(stamp_last_write_time(file, file_time_of(-86400)));
  EXPECT_EQ(stat_of(file).st_mtim.tv_sec, -86400);
}

TEST(StampFile, RefusesWhatIsNoPlainFileWithTheReasonAndCreatesNothing) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);  // must neither block nor be stamped
  struct Case {
    std::string path, reason;
  };
  for (const Case& c : {Case{dir / "missing.dll", "No such file or directory"}, Case{dir.path(), "not a regular file"},
                        Case{dir / "pipe", "not a regular file"}}) {
    SCOPED_TRACE(c.path);
    const Status stamped = stamp_last_write_time(c.path, file_time_of(1577880000));
    ASSERT_FALSE(stamped);
    EXPECT_NE(stamped.failure().reason.find(c.path), std::string::npos) << stamped.failure().reason;
    EXPECT_NE(stamped.failure().reason.find(c.reason), std::string::npos) << stamped.failure().reason;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.dll"));
  EXPECT_EQ(test::mode_of(dir / "pipe"), 0644u);
}

}  // namespace
}  // namespace qor
