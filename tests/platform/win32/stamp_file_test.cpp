// Stamping the last-write time on Windows, read back with GetFileTime.
#include <gtest/gtest.h>

#include "platform/file_system.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

using test::TempDir;
using test::write_file;

struct Times {
  std::uint64_t creation = 0, access = 0, write = 0;
};

std::uint64_t ticks(const ::FILETIME& t) { return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }
::FILETIME file_time(std::uint64_t ticks) { return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }

win32::UniqueHandle open_for_times(const std::string& path, DWORD access) {
  return win32::UniqueHandle(CreateFileW(win32::to_wide(path).c_str(), access,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
}

Times times_of(const std::string& path) {
  const auto file = open_for_times(path, FILE_READ_ATTRIBUTES);
  ::FILETIME c{}, a{}, w{};
  EXPECT_TRUE(file && GetFileTime(file.get(), &c, &a, &w)) << path;
  return {ticks(c), ticks(a), ticks(w)};
}

// Creation and access times far from now, so any change to them shows.
void set_old_times(const std::string& path) {
  const auto file = open_for_times(path, FILE_WRITE_ATTRIBUTES);
  const ::FILETIME creation = file_time(125'000'000'000'000'000ULL);  // 1997
  const ::FILETIME access = file_time(126'000'000'000'000'000ULL);    // 2000
  ASSERT_TRUE(file && SetFileTime(file.get(), &creation, &access, nullptr));
}

// 2026-12-07 14:05:09 UTC
constexpr std::uint64_t kStamp = 134'411'259'090'000'000ULL;
constexpr qor::FILETIME kStampTime{static_cast<std::uint32_t>(kStamp), static_cast<std::uint32_t>(kStamp >> 32)};

TEST(StampFile, SetsOnlyTheLastWriteTime) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "a.dll", "x");
  set_old_times(dir / "a.dll");
  const Times before = times_of(dir / "a.dll");

  const Status stamped = fs->set_last_write_time(dir / "a.dll", kStampTime);
  ASSERT_TRUE(stamped) << stamped.failure().reason;
  const Times after = times_of(dir / "a.dll");
  EXPECT_EQ(after.write, kStamp);
  EXPECT_EQ(after.access, before.access);
  // Wine keeps no creation time on Linux file systems: it shows one made
  // from the file's other times, so an earlier last-write time moves it too.
  // Windows keeps it apart.
  if (!test::running_under_wine()) {
    EXPECT_EQ(after.creation, before.creation);
  }
  EXPECT_EQ(test::read_file(dir / "a.dll"), "x");
}

TEST(StampFile, AReadOnlyFileIsStampedAndKeepsItsAttributes) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "qor_base.db3", "x");
  const std::wstring wide = win32::to_wide(dir / "qor_base.db3");
  const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), attributes));

  const Status stamped = fs->set_last_write_time(dir / "qor_base.db3", kStampTime);
  ASSERT_TRUE(stamped) << stamped.failure().reason;
  EXPECT_EQ(times_of(dir / "qor_base.db3").write, kStamp);
  EXPECT_EQ(GetFileAttributesW(wide.c_str()), attributes);
}

TEST(StampFile, AttributesComeBackWhenStampingFails) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "busy.dll", "x");
  const std::wstring wide = win32::to_wide(dir / "busy.dll");
  const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), attributes));
  {
    // Open elsewhere without sharing writes: the stamp cannot open it.
    const win32::UniqueHandle user(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(user);
    const Status stamped = fs->set_last_write_time(dir / "busy.dll", kStampTime);
    ASSERT_FALSE(stamped);
    EXPECT_EQ(stamped.failure().code, ERROR_SHARING_VIOLATION) << stamped.failure().reason;
  }
  EXPECT_EQ(GetFileAttributesW(wide.c_str()), attributes);
  EXPECT_NE(times_of(dir / "busy.dll").write, kStamp);
}

TEST(StampFile, MissingFilesAndFoldersAreNotStampedNorCreated) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  const Status missing = fs->set_last_write_time(dir / "fehlt.dll", kStampTime);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().code, ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(fs->CreateFolder(dir / "ordner"));
  EXPECT_FALSE(fs->set_last_write_time(dir / "ordner", kStampTime));
  EXPECT_EQ(test::file_names(dir.path()), std::vector<std::string>{"ordner"});
}

}  // namespace
}  // namespace qor
