// The names of folders kept for look-ups regardless of letter case: after
// any change, by anyone, a look-up answers as a fresh read of the folder
// would, in a folder the kernel reports on and in one it does not.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/linux/files/folded_names.hpp"
#include "platform/linux/files/unique_fd.hpp"
#include "tests/support/files.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(FoldedNames, EveryChangeCountsInWatchedAndUnwatchedFolders) {
  test::TempDir dir;
  FoldedNames names(1);  // the first folder is watched, the second is not
  for (const char* folder : {"watched", "unwatched"}) {
    SCOPED_TRACE(folder);
    fs::create_directory(dir / folder);
    const std::string at = dir / folder;
    const UniqueFd fd(::open(at.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_GE(fd.get(), 0);
    EXPECT_EQ(names.matching(fd.get(), "daten"), Names{});
    fs::create_directory(at + "/Daten");
    EXPECT_EQ(names.matching(fd.get(), "DATEN"), Names{"Daten"});
    test::write_file(at + "/DATEN", "x");
    Names both = names.matching(fd.get(), "daten");
    std::sort(both.begin(), both.end());
    EXPECT_EQ(both, (Names{"DATEN", "Daten"}));
    fs::remove(at + "/DATEN");
    EXPECT_EQ(names.matching(fd.get(), "daten"), Names{"Daten"});
    fs::rename(at + "/Daten", at + "/Archiv");
    EXPECT_EQ(names.matching(fd.get(), "daten"), Names{});
    EXPECT_EQ(names.matching(fd.get(), "ARCHIV"), Names{"Archiv"});
    // Many entries made one after another, each seen at once.
    for (int i = 0; i < 200; ++i) {
      const std::string name = "Ordner" + std::to_string(i);
      fs::create_directory(fs::path(at) / name);
      ASSERT_EQ(names.matching(fd.get(), "ordner" + std::to_string(i)), Names{name});
    }
    // A folder removed and another made in its stead are not confused.
    fs::remove(at + "/Archiv");
    fs::rename(at, at + ".old");
    fs::create_directory(at);
    test::write_file(at + "/Archiv", "new");
    const UniqueFd again(::open(at.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    EXPECT_EQ(names.matching(again.get(), "ordner1"), Names{});
    EXPECT_EQ(names.matching(again.get(), "archiv"), Names{"Archiv"});
    EXPECT_EQ(names.matching(fd.get(), "ordner1"), Names{"Ordner1"});
    EXPECT_EQ(names.matching(fd.get(), "archiv"), Names{});
  }
}

}  // namespace
}  // namespace qor
