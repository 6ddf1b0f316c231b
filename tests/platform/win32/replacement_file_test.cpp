// Replacing a file another program holds open: a sharing rule only Windows
// has. What every platform does is in the shared suite
// (tests/platform/contract/files).
#include <gtest/gtest.h>

#include "platform/file_system.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/support/files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

using test::file_names;
using test::read_file;
using test::TempDir;
using test::write_file;

// Another program has the file open (a database in use): the commit fails
// at once, names the file, and the old file is left whole.
TEST(ReplacementFile, FileInUseFailsOnceNamingItAndStaysWhole) {
  TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  write_file(dir / "kunden.db3", "in use");
  auto replacement = fs->replace_file(dir / "kunden.db3");
  ASSERT_TRUE(replacement);
  ASSERT_TRUE((*replacement)->write("new", 3));
  {
    const win32::UniqueHandle user(CreateFileW(win32::to_wide(dir / "kunden.db3").c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(user);
    const auto committed = (*replacement)->commit(Placement::Replace);
    ASSERT_FALSE(committed);
    EXPECT_TRUE(committed.failure().code == ERROR_SHARING_VIOLATION || committed.failure().code == ERROR_ACCESS_DENIED)
        << committed.failure().reason;
    EXPECT_NE(committed.failure().reason.find(local_path(dir / "kunden.db3")), std::string::npos)
        << committed.failure().reason;
  }
  EXPECT_EQ(read_file(dir / "kunden.db3"), "in use");
  EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"kunden.db3"});
}

}  // namespace
}  // namespace qor
