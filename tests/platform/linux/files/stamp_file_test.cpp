// Stamping what only this system has: a FIFO is refused with the reason,
// without blocking and without being stamped. What every platform does is
// in the shared suite (tests/platform/contract/files).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>

#include "platform/file_system.hpp"
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

TEST(StampFile, RefusesAFifoWithTheReasonWithoutBlocking) {
  TempDir dir;
  const std::string pipe = dir / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const auto before = test::last_write(pipe);
  for (const Status& stamped :
       {stamp_last_write_time(pipe, file_time_of(1577880000)),
        make_local_file_system(dir.path())->set_last_write_time(pipe, file_time_of(1577880000))}) {
    ASSERT_FALSE(stamped);
    EXPECT_NE(stamped.failure().reason.find(pipe), std::string::npos) << stamped.failure().reason;
    EXPECT_NE(stamped.failure().reason.find("not a regular file"), std::string::npos) << stamped.failure().reason;
  }
  EXPECT_EQ(test::last_write(pipe), before);
  EXPECT_EQ(test::mode_of(pipe), 0644u);
}

}  // namespace
}  // namespace qor
