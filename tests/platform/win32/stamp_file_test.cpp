// Stamping the last-write time of a file another program holds open: a
// sharing rule only Windows has. What every platform does is in the shared
// suite (tests/platform/contract/files).
#include <gtest/gtest.h>

#include "platform/file_system.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/support/files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

using test::TempDir;
using test::write_file;

// 2026-12-07 14:05:09 UTC
constexpr std::uint64_t kStamp = 134'411'259'090'000'000ULL;
constexpr qor::FILETIME kStampTime{static_cast<std::uint32_t>(kStamp), static_cast<std::uint32_t>(kStamp >> 32)};

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
  const auto written = fs->DateLastModified(dir / "busy.dll");
  ASSERT_TRUE(written) << written.failure().reason;
  EXPECT_NE(std::chrono::duration_cast<std::chrono::seconds>(written->time_since_epoch()).count(), 1'796'652'309);
}

}  // namespace
}  // namespace qor
