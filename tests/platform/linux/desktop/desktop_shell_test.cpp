// What only the Linux desktop session does, with a temporary home folder:
// the XDG desktop folder as the user-dirs file and the session name it, the
// desktop entry's text and the icon made for it. What every platform's shell
// does is in tests/platform/contract/shell.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <QColor>
#include <QImage>

#include "platform/linux/desktop/desktop_entry.hpp"
#include "platform/shell.hpp"
#include "tests/support/files.hpp"
#include "tests/support/scoped_env.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class DesktopShell : public ::testing::Test {
 protected:
  TempDir home;
  test::ScopedEnv home_env{"HOME", home.path()};
  test::ScopedEnv config_env{"XDG_CONFIG_HOME", std::nullopt};
  test::ScopedEnv data_env{"XDG_DATA_HOME", std::nullopt};
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

TEST_F(DesktopShell, TheEntryIsWrittenInFullAndExecutableOverAForeignFile) {
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
}

// The icon library's icon, as desktops here show icons: a PNG of its largest
// picture in the XDG icon folder, named by the entry.
TEST_F(DesktopShell, TheEntryShowsTheIconOfTheIconLibraryAsAPng) {
  if (QOR_PE_FIXTURES[0] == '\0') GTEST_SKIP() << "MinGW cross toolchain not found at configure time";
  const std::string desktop = home / "Desktop";
  fs::create_directories(desktop);
  TempDir app;
  const std::string library = app / "QOR_Icons.dll";
  const ShortcutProperties properties{app / "run", library, app.path()};
  const std::string icons = home / ".local/share/icons/hicolor";
  struct Case {
    const char* fixture;
    std::string png;
    int size;
    QColor colour;
  };
  const Case cases[] = {{"icons64.dll", icons + "/48x48/apps/QOR_software_PRO.png", 48, QColor(0, 0, 255)},
                        {"bitmap_icons64.dll", icons + "/32x32/apps/QOR_software_PRO.png", 32, QColor(0, 255, 0)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    fs::copy_file(std::string(QOR_PE_FIXTURES) + "/" + c.fixture, library, fs::copy_options::overwrite_existing);
    const auto saved = shell->save_shortcut(desktop, "QOR_software_PRO", properties);
    ASSERT_TRUE(saved) << saved.failure().reason;
    EXPECT_NE(test::read_file(*saved).find("\nIcon=" + c.png + "\n"), std::string::npos) << test::read_file(*saved);
    const QImage shown(QString::fromStdString(c.png));
    ASSERT_EQ(shown.size(), QSize(c.size, c.size));
    EXPECT_EQ(shown.pixelColor(c.size / 2, c.size / 2), c.colour);
    EXPECT_EQ(test::mode_of(c.png), 0644u);
  }
  // A library without an icon, or none at all: the entry names the library.
  for (const bool present : {true, false}) {
    fs::remove(library);
    if (present) fs::copy_file(std::string(QOR_PE_FIXTURES) + "/no_icon64.dll", library);
    const auto saved = shell->save_shortcut(desktop, "QOR_software_PRO", properties);
    ASSERT_TRUE(saved) << saved.failure().reason;
    EXPECT_NE(test::read_file(*saved).find("\nIcon=" + library + "\n"), std::string::npos);
  }
}

// The entry does not depend on its icon: where the PNG cannot be written, the
// entry names the library and the reason goes to standard error.
TEST_F(DesktopShell, AnIconThatCannotBeWrittenLeavesTheEntryWithTheLibrary) {
  if (QOR_PE_FIXTURES[0] == '\0') GTEST_SKIP() << "MinGW cross toolchain not found at configure time";
  const std::string desktop = home / "Desktop";
  fs::create_directories(desktop);
  fs::create_directories(home / ".local");
  test::write_file(home / ".local/share", "a file where the data folder belongs");
  const std::string library = std::string(QOR_PE_FIXTURES) + "/icons64.dll";
  const test::StderrCapture errors;
  const auto saved = shell->save_shortcut(desktop, "QOR_software_PRO", {"/opt/app/run", library, "/opt/app"});
  ASSERT_TRUE(saved) << saved.failure().reason;
  EXPECT_NE(test::read_file(*saved).find("\nIcon=" + library + "\n"), std::string::npos);
  const auto reports = errors.failure_lines();
  ASSERT_EQ(reports.size(), 1u) << errors.text();
  EXPECT_TRUE(reports[0].starts_with("QOR_sync_PRO: desktop icon: ")) << reports[0];
}

// The session names $HOME/Desktop even where it does not exist.
TEST_F(DesktopShell, NoDesktopFolderOrTheHomeFolderNamedForItIsNoDesktop) {
  const auto none = shell->desktop_folder();
  ASSERT_FALSE(none);
  EXPECT_NE(none.failure().reason.find(home / "Desktop"), std::string::npos) << none.failure().reason;
  // The user's folder settings turn the desktop off by naming the home folder.
  fs::create_directories(home / "Desktop");
  fs::create_directories(home / ".config");
  test::write_file(home / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/\"\n");
  EXPECT_FALSE(shell->desktop_folder());
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
