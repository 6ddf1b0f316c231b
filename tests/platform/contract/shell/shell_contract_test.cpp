// The shell service (shell.hpp) as every platform provides it: the desktop
// folder and the menu folder, a shortcut read back as the platform's own
// desktops read it, a program started in its folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_system.hpp"
#include "platform/shell.hpp"
#include "tests/platform/contract/shell/platform_shell.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/eventually.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using test::shell_path;
using test::TempDir;

class Shell : public ::testing::Test {
 protected:
  test::ShellSession session;
  std::unique_ptr<qor::Shell> shell = make_desktop_shell();
};

bool is_folder(const std::string& path) { return fs::is_directory(test::native(path)); }

TEST_F(Shell, TheSessionsDesktopIsAnExistingFolderWithoutATrailingSeparator) {
  const auto desktop = shell->desktop_folder();
  ASSERT_TRUE(desktop) << desktop.failure().reason;
  EXPECT_TRUE(is_folder(*desktop)) << *desktop;
  EXPECT_FALSE(desktop->ends_with('/') || desktop->ends_with('\\')) << *desktop;
  EXPECT_TRUE(make_desktop_shell()->desktop_folder()) << "asked again";
}

// A user whose desktop folder is not there has no desktop: the finish
// action then puts the shortcut into the menu folder.
TEST_F(Shell, ADesktopNamedWhereNoFolderIsIsNoDesktopUntilTheFolderIsMade) {
  TempDir home;
  const std::string folder = home / "Schreibtisch \xC3\x84";
  ASSERT_TRUE(session.name_desktop(folder));
  const auto none = shell->desktop_folder();
  ASSERT_FALSE(none) << *none;
  EXPECT_NE(none.failure().reason.find(shell_path(folder)), std::string::npos) << none.failure().reason;

  fs::create_directories(test::native(folder));
  const auto there = shell->desktop_folder();
  ASSERT_TRUE(there) << there.failure().reason;
  EXPECT_EQ(*there, shell_path(folder));
}

TEST_F(Shell, TheMenuFolderIsMadeWhenMissing) {
  const auto menu = shell->menu_folder();
  ASSERT_TRUE(menu) << menu.failure().reason;
  EXPECT_TRUE(test::is_menu_folder(*menu)) << *menu;
  EXPECT_TRUE(is_folder(*menu)) << *menu;
  // Made again when it is gone; what it held comes back after the case.
  bool made_again = false;
  Result<std::string> made = Failure{"not asked"};
  {
    const test::FolderAside aside(*menu);
    ASSERT_TRUE(aside.moved()) << *menu;
    made = shell->menu_folder();
    made_again = is_folder(*menu);
  }
  ASSERT_TRUE(made) << made.failure().reason;
  EXPECT_EQ(*made, *menu);
  EXPECT_TRUE(made_again);
}

TEST_F(Shell, AShortcutReadsBackWithItsTargetWorkingFolderAndIcon) {
  TempDir desktop;
  TempDir app;
  // Paths as the client builds them ('/' separators, UTF-8 beyond ASCII).
  const std::string folder = local_path(app / "Programm \xC3\x84");
  fs::create_directories(test::native(folder));
  const ShortcutProperties properties{folder + "/QOR_software.exe", folder + "/QOR_Icons.dll", folder};
  const auto saved = shell->save_shortcut(desktop.path(), "QOR_software_PRO", properties);
  ASSERT_TRUE(saved) << saved.failure().reason;
  EXPECT_EQ(*saved, shell_path(desktop / test::shortcut_file_name("QOR_software_PRO")));

  // No icon library is there: the shortcut names it as it is.
  const test::ShortcutContent link = test::read_shortcut(*saved);
  EXPECT_EQ(link.target, shell_path(folder + "/QOR_software.exe"));
  EXPECT_EQ(link.working_folder, shell_path(folder));
  EXPECT_EQ(link.icon, shell_path(folder + "/QOR_Icons.dll"));
  if (link.icon_index) {
    EXPECT_EQ(*link.icon_index, 0);
  }
}

// Without a main program the shortcut opens the application folder.
TEST_F(Shell, AShortcutToTheFolderItselfOpensTheFolder) {
  TempDir desktop;
  TempDir app;
  const std::string folder = local_path(app.path());
  const auto saved =
      shell->save_shortcut(desktop.path(), "QOR_software_PRO", {folder + "/", folder + "/QOR_Icons.dll", folder});
  ASSERT_TRUE(saved) << saved.failure().reason;
  const test::ShortcutContent link = test::read_shortcut(*saved);
  EXPECT_TRUE(link.target == shell_path(folder) || link.target == shell_path(folder + "/")) << link.target;
  if (link.working_folder) {
    EXPECT_EQ(*link.working_folder, shell_path(folder));
  }
}

TEST_F(Shell, AShortcutReplacesAnEarlierOneAndLeavesNothingElse) {
  TempDir desktop;
  TempDir app;
  const std::string before = local_path(app / "alt"), after = local_path(app / "neu");
  ASSERT_TRUE(shell->save_shortcut(desktop.path(), "QOR_software_PRO", {before + "/a.exe", before + "/i.dll", before}));
  const auto saved =
      shell->save_shortcut(desktop.path(), "QOR_software_PRO", {after + "/a.exe", after + "/i.dll", after});
  ASSERT_TRUE(saved) << saved.failure().reason;
  EXPECT_EQ(test::read_shortcut(*saved).target, shell_path(after + "/a.exe"));
  EXPECT_EQ(test::file_names(desktop.path()), std::vector<std::string>{test::shortcut_file_name("QOR_software_PRO")})
      << "no temporary file left behind";
}

TEST_F(Shell, AShortcutInAMissingFolderFailsWithTheFolderInTheReason) {
  TempDir desktop;
  const auto nowhere = shell->save_shortcut(desktop / "fehlt", "QOR_software_PRO",
                                            {desktop / "a.exe", desktop / "i.dll", desktop.path()});
  ASSERT_FALSE(nowhere);
  EXPECT_NE(nowhere.failure().reason.find(shell_path(desktop / "fehlt")), std::string::npos)
      << nowhere.failure().reason;
}

TEST_F(Shell, StartsAProgramInTheGivenFolderMaximizedWhereWindowsHaveStates) {
  TempDir app;
  const std::string program = test::noting_program(app / "QOR software");
  fs::create_directories(test::native(app / "Arbeit"));

  const Status started = shell->start_program(local_path(program), local_path(app / "Arbeit"));
  ASSERT_TRUE(started) << started.failure().reason;
  ASSERT_TRUE(test::eventually([&] { return fs::exists(test::native(program + ".note")); }))
      << "the program did not start";
  const std::string note = test::read_file(program + ".note");
  EXPECT_NE(note.find("folder=" + shell_path(app / "Arbeit") + "\n"), std::string::npos) << note;
  if (const auto maximized = test::maximized_note_line()) {
    EXPECT_NE(note.find(*maximized), std::string::npos) << note;
  }
}

TEST_F(Shell, AProgramThatIsNotThereFailsWithItsPathInTheReason) {
  TempDir app;
  const std::string missing = local_path(app / "fehlt.exe");
  const Status started = shell->start_program(missing, local_path(app.path()));
  ASSERT_FALSE(started);
  const std::string& reason = started.failure().reason;
  EXPECT_TRUE(reason.find(missing) != std::string::npos || reason.find(shell_path(missing)) != std::string::npos)
      << reason;
  if (const auto code = test::missing_program_code()) {
    EXPECT_EQ(started.failure().code, *code);
  }
}

}  // namespace
}  // namespace qor
