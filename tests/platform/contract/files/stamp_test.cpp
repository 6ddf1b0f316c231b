// Stamping the last-write time through the file-system object: only that
// time changes, to the value given, a read-only file gets its exact
// protection back, and what is no file is refused with the reason.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/platform/contract/files/file_system_suite.hpp"

namespace qor::test {
namespace {

using std::chrono::system_clock;

using Stamp = FileSystemSuite;

system_clock::time_point at(std::int64_t unix_seconds, std::int64_t nanoseconds = 0) {
  return system_clock::time_point(std::chrono::duration_cast<system_clock::duration>(
      std::chrono::seconds{unix_seconds} + std::chrono::nanoseconds{nanoseconds}));
}

// The times before far from the stamp and with parts of a second, so that
// any change to the others, and a stamp kept only to the second, shows.
TEST_F(Stamp, SetsOnlyTheLastWriteTimeExactly) {
  const std::string file = dir / "a.dll";
  write_file(file, "payload");
  set_times(file, at(1000000000, 123456700), at(1100000000, 987654300));
  const FileTimes before = times_of(file);

  const Status stamped = files->set_last_write_time(dir.path() + "\\a.dll", file_time_of(1796652309));
  ASSERT_TRUE(stamped) << stamped.failure().reason;
  const FileTimes after = times_of(file);
  EXPECT_EQ(after.write, at(1796652309));
  EXPECT_EQ(after.access, before.access);
  EXPECT_EQ(after.access, at(1000000000, 123456700));
  EXPECT_EQ(after.creation, before.creation);
  EXPECT_EQ(read_file(file), "payload");
  EXPECT_EQ(files->DateLastModified(file)->time_since_epoch(), at(1796652309).time_since_epoch());

  // Before 1970 is a time like any other.
  ASSERT_TRUE(files->set_last_write_time(file, file_time_of(-86400)));
  EXPECT_EQ(times_of(file).write, at(-86400));
}

TEST_F(Stamp, AReadOnlyFileIsStampedAndKeepsItsExactProtection) {
  const std::string file = dir / "qor_base.db3";
  write_file(file, "x");
  for (const Protection protection : read_only_protections()) {
    SCOPED_TRACE(protection);
    protect(file, protection);
    const Status stamped = files->set_last_write_time(file, file_time_of(1588320000));
    ASSERT_TRUE(stamped) << stamped.failure().reason;
    EXPECT_EQ(protection_of(file), protection);
    EXPECT_EQ(times_of(file).write, at(1588320000));
    // The next stamp must see a changed time.
    protect(file, 0);
    set_times(file, at(1000000000), at(1000000000));
  }
}

TEST_F(Stamp, MissingFilesAndFoldersAreNotStampedNorCreated) {
  ASSERT_TRUE(files->CreateFolder(dir / "ordner"));
  const long not_found = failure_codes().file_not_found;
  struct Case {
    std::string path, reason;
    long code;
  };
  for (const Case& c : {Case{dir / "fehlt.dll", system_words(not_found), not_found},
                        Case{dir / "ordner", "not a regular file", 0}, Case{dir.path(), "not a regular file", 0}}) {
    SCOPED_TRACE(c.path);
    const Status stamped = files->set_last_write_time(c.path, file_time_of(1577880000));
    ASSERT_FALSE(stamped);
    EXPECT_TRUE(holds(stamped.failure().reason, c.path));
    EXPECT_TRUE(holds(stamped.failure().reason, c.reason));
    EXPECT_EQ(stamped.failure().code, c.code);
  }
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"ordner"});
}

}  // namespace
}  // namespace qor::test
