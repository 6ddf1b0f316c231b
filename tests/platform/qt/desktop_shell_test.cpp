// The desktop session with a temporary home folder: the XDG desktop folder,
// the desktop entry written there in one step, and a program started in its
// folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "desktop_entry.hpp"
#include "files.hpp"
#include "scoped_env.hpp"
#include "shell.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::TempDir;

class DesktopShell : public ::testing::Test {
 protected:
  TempDir home;
  test::ScopedEnv home_env{"HOME", home.path()};
  test::ScopedEnv config_env{"XDG_CONFIG_HOME", std::nullopt};
  std::unique_ptr<Shell> shell = make_desktop_shell();
};

TEST_F(DesktopShell, TheDesktopIsWhereTheUsersFoldersFileSaysWithoutATrailingSeparator) {
  fs::create_directories(home / ".config");
  test::write_file(home / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch/\"\n");
  fs::create_directories(home / "Schreibtisch");
  const auto desktop = shell->desktop_folder();
  ASSERT_TRUE(desktop) << desktop.failure().reason;
  EXPECT_EQ(*desktop, home / "Schreibtisch");
}

TEST_F(DesktopShell, TheShortcutReplacesAnEarlierOneInOneStepAndIsExecutable) {
  const std::string desktop = home / "Desktop";
  fs::create_directories(desktop);
  test::write_file(desktop + "/QOR_software_PRO.desktop", "earlier entry");
  const ShortcutProperties properties{"/opt/app folder/run.exe", "/opt/app folder/QOR_Icons.dll", "/opt/app folder"};
  const auto saved = shell->save_shortcut(desktop, "QOR_software_PRO", properties);
  ASSERT_TRUE(saved) << saved.failure().reason;
  EXPECT_EQ(*saved, desktop + "/QOR_software_PRO.desktop");
  EXPECT_EQ(test::read_file(*saved),
            "[Desktop Entry]\nType=Application\nName=QOR_software_PRO\nExec=\"/opt/app folder/run.exe\"\n"
            "Path=/opt/app folder\nIcon=/opt/app folder/QOR_Icons.dll\n");
  EXPECT_EQ(test::mode_of(*saved), 0755u);
  EXPECT_EQ(test::file_names(desktop), std::vector<std::string>{"QOR_software_PRO.desktop"})
      << "no temporary file left behind";

  const auto nowhere = shell->save_shortcut(home / "missing", "QOR_software_PRO", properties);
  ASSERT_FALSE(nowhere);
  EXPECT_NE(nowhere.failure().reason.find(home / "missing"), std::string::npos) << nowhere.failure().reason;
}

TEST_F(DesktopShell, AProgramStartsInItsFolderOrTheReasonNamesIt) {
  TempDir folder;
  test::write_file(folder / "app.sh", "#!/bin/sh\necho started > \"$PWD/marker\"\n");
  fs::permissions(folder / "app.sh", fs::perms(0755));
  ASSERT_TRUE(shell->start_program(folder / "app.sh", folder.path()));
  for (int i = 0; i < 200 && !fs::exists(folder / "marker"); ++i) std::this_thread::sleep_for(50ms);
  EXPECT_EQ(test::read_file(folder / "marker"), "started\n");

  const Status missing = shell->start_program(folder / "missing", folder.path());
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.failure().reason.find(folder / "missing"), std::string::npos) << missing.failure().reason;
}

TEST(DesktopEntry, EscapesEveryValueSoNoPathCanBreakTheEntry) {
  EXPECT_EQ(exec_argument("/opt/my app/run"), "\"/opt/my app/run\"");
  EXPECT_EQ(exec_argument("/a\"b$c`d\\e%f"), R"("/a\\"b\\$c\\`d\\\\e%%f")");
  EXPECT_EQ(exec_argument("/a\nName=x"), R"("/a\nName=x")");
  EXPECT_EQ(escape_string_value("/p\\q\tr\rs\nt"), R"(/p\\q\tr\rs\nt)");
  EXPECT_EQ(escape_string_value(" lead"), R"(\slead)");
  const std::string entry =
      desktop_entry_text("Name\nType=Link", {"/x/a\nType=Link", "/x\n[Other]", "/x\r\nHidden=true"});
  EXPECT_EQ(std::count(entry.begin(), entry.end(), '\n'), 6);
  EXPECT_EQ(entry.find("\nType=Link"), std::string::npos);
}

}  // namespace
}  // namespace qor
