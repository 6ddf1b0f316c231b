// The names Windows would read otherwise than they are written. What every
// platform does is in the shared suite (tests/platform/contract/files).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.hpp"
#include "tests/support/files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

using test::TempDir;
using test::write_file;

// A trailing dot or space is dropped, "a:b" is a stream of "a", CON and its
// kin are devices in every folder: such names would write somewhere else
// than they say (a protected database under "qor_buch.db3."), so no write
// goes through them and nothing is created.
TEST(LocalFileSystem, NamesWindowsWouldReadOtherwiseAreNotWritten) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "qor_buch.db3", "the user's own data");
  const char* aliases[] = {
      "qor_buch.db3.", "qor_buch.db3 ", "qor_buch.db3:stream", "CON", "nul.txt", "Com1.dll", "lpt9", "aux .db3", "..."};
  for (const char* name : aliases) {
    SCOPED_TRACE(name);
    const auto replacement = fs->replace_file(dir / name);
    ASSERT_FALSE(replacement);
    EXPECT_EQ(replacement.failure().code, ERROR_INVALID_NAME);
    EXPECT_FALSE(fs->CreateFolder(dir / name));
    EXPECT_FALSE(fs->CreateFolder(dir / (std::string(name) + "\\unter")));
    EXPECT_FALSE(fs->set_last_write_time(dir / name, qor::FILETIME{0, 0x01D00000}));
  }
  EXPECT_EQ(test::read_file(dir / "qor_buch.db3"), "the user's own data");
  EXPECT_EQ(test::file_names(dir.path()), std::vector<std::string>{"qor_buch.db3"});
  // Ordinary names with dots and the drive's colon are fine.
  EXPECT_TRUE(fs->CreateFolder(dir / "v1.2.3"));
  EXPECT_TRUE(fs->replace_file(dir / "v1.2.3\\.hidden.cfg"));
  EXPECT_TRUE(fs->replace_file(dir / "console.log"));
}

}  // namespace
}  // namespace qor
