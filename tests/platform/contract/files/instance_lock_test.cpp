// The program folder's lock: one holder at a time, given up with its
// holder, one lock per folder, and no trace in the folder once given up
// (a run that only checks must leave the folder exactly as it was).
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/instance_lock.hpp"
#include "tests/platform/contract/files/platform_files.hpp"
#include "tests/support/files.hpp"

namespace qor::test {
namespace {

std::set<std::string> entries_of(const std::string& folder) {
  std::set<std::string> names;
  // Hidden entries too: a lock file left behind would be one.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(native(folder)))
    names.insert(entry.path().lexically_relative(native(folder)).generic_string());
  return names;
}

TEST(InstanceLock, ASecondHolderIsRefusedUntilTheFirstGivesTheFolderUp) {
  TempDir dir;
  auto first = lock_program_folder(dir.path());
  ASSERT_TRUE(first) << first.failure().reason;

  const auto second = lock_program_folder(dir.path());
  ASSERT_FALSE(second) << "two holders of one folder";
  EXPECT_EQ(second.failure().code, kFolderLocked) << second.failure().reason;
  // Asked again while held: still refused, the first holder undisturbed.
  EXPECT_FALSE(lock_program_folder(dir.path()));

  first->reset();
  const auto after = lock_program_folder(dir.path());
  EXPECT_TRUE(after) << "not given up with its holder: " << after.failure().reason;
}

TEST(InstanceLock, EachFolderHasItsOwnLock) {
  TempDir dir;
  TempDir other;
  std::filesystem::create_directory(native(dir / "Daten"));
  const auto mine = lock_program_folder(dir.path());
  ASSERT_TRUE(mine) << mine.failure().reason;
  const auto theirs = lock_program_folder(other.path());
  EXPECT_TRUE(theirs) << "another folder refused: " << theirs.failure().reason;
  const auto below = lock_program_folder(dir / "Daten");
  EXPECT_TRUE(below) << "a folder below a held one refused: " << below.failure().reason;
}

TEST(InstanceLock, TheFolderIsAsItWasOnceTheLockIsGivenUp) {
  TempDir dir;
  write_file(dir / "qor_buch.db3", "the user's bookings");
  std::filesystem::create_directory(native(dir / "Daten"));
  const auto before = entries_of(dir.path());
  {
    const auto held = lock_program_folder(dir.path());
    ASSERT_TRUE(held) << held.failure().reason;
  }
  EXPECT_EQ(entries_of(dir.path()), before);
  EXPECT_EQ(read_file(dir / "qor_buch.db3"), "the user's bookings");
}

TEST(InstanceLock, AFolderThatIsNotThereFailsWithItsReasonNotAsTaken) {
  TempDir dir;
  const auto missing = lock_program_folder(dir / "gone");
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.failure().code, kFolderLocked);
  EXPECT_NE(missing.failure().reason.find("gone"), std::string::npos) << missing.failure().reason;
  // An unknown folder is not the root's or the working folder's lock.
  const auto unknown = lock_program_folder("");
  ASSERT_FALSE(unknown);
  EXPECT_NE(unknown.failure().code, kFolderLocked);
}

TEST(InstanceLock, TheRunningProgramsFolderHoldsThisProgram) {
  const std::string folder = running_program_folder();
  ASSERT_FALSE(folder.empty());
  ASSERT_TRUE(std::filesystem::is_directory(native(folder))) << folder;
  bool found = false;
  for (const auto& entry : std::filesystem::directory_iterator(native(folder)))
    found = found || entry.path().filename().string().rfind("files_contract_tests", 0) == 0;
  EXPECT_TRUE(found) << folder << " does not hold the running test program";
}

}  // namespace
}  // namespace qor::test
