// The finish panel's action: a desktop shortcut to the main application, the
// application started from its folder, the window closed, and every failure
// told to the user once and to standard error with its reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/shell.hpp"
#include "tests/install/install_fixture.hpp"
#include "tests/support/scoped_env.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using test::InstallFixture;
using test::TempDir;

// Notes the shortcuts and program starts it is asked for; each service can
// be told to fail.
struct RecordingShell : Shell {
  struct Shortcut {
    std::string folder, name;
    ShortcutProperties properties;
  };
  std::vector<Shortcut> saved;
  std::vector<std::pair<std::string, std::string>> started;  // program, folder
  std::optional<Failure> no_desktop, no_menu, no_save, no_start;

  Result<std::string> desktop_folder() override {
    if (no_desktop) return *no_desktop;
    return std::string("/home/user/Desktop");
  }
  Result<std::string> menu_folder() override {
    if (no_menu) return *no_menu;
    return std::string("/home/user/.local/share/applications");
  }
  Result<std::string> save_shortcut(const std::string& folder, const std::string& name,
                                    const ShortcutProperties& properties) override {
    if (no_save) return *no_save;
    saved.push_back({folder, name, properties});
    return folder + "/" + name + ".desktop";
  }
  Status start_program(const std::string& program, const std::string& working_folder) override {
    if (no_start) return *no_start;
    started.emplace_back(program, working_folder);
    return {};
  }
};

const std::string kNoShortcut =
    "Verknüpfung konnte nicht angelegt werden / Shortcut could not be created:\r\nQOR_software_PRO";

class Finish : public ::testing::Test, public InstallFixture {
 protected:
  void place_main_program(const std::string& name) {
    test::write_file(at(name), "#!/bin/sh\necho started > \"$PWD/marker\"\n");
    ::chmod(at(name).c_str(), 0644);
  }
  void expect_one_message(const std::string& text) {
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, text);
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(host.messages[0].caption, "QOR_sync_PRO");
  }

  RecordingShell shell;
};

TEST_F(Finish, LinksAndStartsTheMainProgramInItsFolderAndCloses) {
  place_main_program("app.sh");
  shared_variables().mod.main_program = "app.sh";
  finish_action(*form, shell);
  ASSERT_EQ(shell.saved.size(), 1u);
  EXPECT_EQ(shell.saved[0].folder, "/home/user/Desktop");
  EXPECT_EQ(shell.saved[0].name, "QOR_software_PRO");
  EXPECT_EQ(shell.saved[0].properties.target, at("app.sh"));
  EXPECT_EQ(shell.saved[0].properties.icon_location, at("QOR_Icons.dll"));
  EXPECT_EQ(shell.saved[0].properties.working_directory, program.path());
  EXPECT_EQ(shell.started, (std::vector<std::pair<std::string, std::string>>{{at("app.sh"), program.path()}}));
  EXPECT_NE(test::mode_of(at("app.sh")) & 0100, 0u) << "made startable first";
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.unloads, 1);
}

// The server names the program as its own platform finds it: with "\"
// separators, after a leading one, and in any letter case. The shortcut and
// the start take the path as it is on disk.
TEST_F(Finish, TheProgramIsTheFileOnDiskItsNameStandsFor) {
  fs::create_directory(at("Bin"));
  for (const auto& [on_disk, name] : std::vector<std::pair<std::string, std::string>>{
           {"Bin/app.sh", "Bin\\app.sh"}, {"Bin/QOR_Software.sh", "\\bin\\qor_software.SH"}}) {
    SCOPED_TRACE(name);
    place_main_program(on_disk);
    shared_variables().mod.main_program = name;
    shell.saved.clear();
    shell.started.clear();
    finish_action(*form, shell);
    ASSERT_EQ(shell.saved.size(), 1u);
    EXPECT_EQ(shell.saved[0].properties.target, at(on_disk));
    EXPECT_EQ(shell.started, (std::vector<std::pair<std::string, std::string>>{{at(on_disk), program.path()}}));
  }
  EXPECT_TRUE(host.messages.empty());
}

// An entry to nothing would be all the user gets: they are told instead.
// Only a regular file inside the folder is the program; a link is not
// followed out of it. The user's databases are never programs: not made
// startable, not in the entry, not started.
TEST_F(Finish, NoProgramInTheFolderGetsNoEntryNothingStartsAndTheUserIsTold) {
  TempDir elsewhere;
  test::write_file(elsewhere / "app.sh", "#!/bin/sh\n");
  ::chmod((elsewhere / "app.sh").c_str(), 0644);
  fs::create_symlink(elsewhere / "app.sh", at("link.sh"));
  fs::create_directory(at("folder.exe"));
  fs::create_directory(at("SQLite3"));
  for (const char* database : {"qor_buch.db3", "SQLite3/QOR_Data_1.db3"}) place_main_program(database);
  for (const std::string name :
       {"missing.exe", "link.sh", "folder.exe", "qor_buch.db3", "QOR_BUCH.DB3", "SQLite3/QOR_Data_1.db3"}) {
    SCOPED_TRACE(name);
    shared_variables().mod.main_program = name;
    host.messages.clear();
    const test::StderrCapture errors;
    finish_action(*form, shell);
    expect_one_message("Hauptprogramm nicht gefunden / Main program not found:\r\n" + at(name));
    const auto reasons = errors.failure_lines();
    ASSERT_EQ(reasons.size(), 1u) << testing::PrintToString(reasons);
    EXPECT_TRUE(reasons[0].starts_with("QOR_sync_PRO: main program: ")) << reasons[0];
  }
  EXPECT_TRUE(shell.saved.empty());
  EXPECT_TRUE(shell.started.empty());
  EXPECT_EQ(test::mode_of(elsewhere / "app.sh"), 0644u);
  EXPECT_EQ(test::mode_of(at("qor_buch.db3")), 0644u);
  EXPECT_EQ(test::mode_of(at("SQLite3/QOR_Data_1.db3")), 0644u);
  EXPECT_EQ(host.unloads, 6);
}

// No main program named: the entry opens the application folder, nothing
// starts, and nothing is said, on every run. With the session's shell the
// entry is a link to the folder, never a command to run it.
TEST_F(Finish, WithoutAMainProgramTheEntryOpensTheFolderSilently) {
  TempDir home;
  const test::ScopedEnv home_env("HOME", home.path());
  const test::ScopedEnv config_env("XDG_CONFIG_HOME", std::nullopt);
  fs::create_directories(home / "Desktop");
  const auto session_shell = make_desktop_shell();
  for (const std::string name : {"", "\\", "/"}) {
    SCOPED_TRACE(name);
    shared_variables().mod.main_program = name;
    shell.saved.clear();
    const test::StderrCapture errors;
    finish_action(*form, shell);
    finish_action(*form, *session_shell);
    ASSERT_EQ(shell.saved.size(), 1u);
    EXPECT_EQ(shell.saved[0].properties.target, program.path() + "/");
    EXPECT_EQ(shell.saved[0].properties.working_directory, program.path());
    EXPECT_EQ(errors.failure_lines(), std::vector<std::string>{});
    const std::string entry = test::read_file(home / "Desktop/QOR_software_PRO.desktop");
    EXPECT_NE(entry.find("\nType=Link\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nURL=file://" + program.path() + "/\n"), std::string::npos) << entry;
    EXPECT_EQ(entry.find("Exec="), std::string::npos) << entry;
  }
  EXPECT_TRUE(shell.started.empty());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.unloads, 6);
}

TEST_F(Finish, AShortcutThatCannotBeWrittenIsToldAndTheProgramStillStarts) {
  place_main_program("app.sh");
  shared_variables().mod.main_program = "app.sh";
  struct Case {
    const char* what;
    std::optional<Failure> RecordingShell::*fails;
    std::optional<Failure> RecordingShell::*also_fails;
    std::string report;
  };
  const Case cases[] = {
      {"no room on the desktop", &RecordingShell::no_save, nullptr, "the desktop says no"},
      {"neither desktop nor menu", &RecordingShell::no_desktop, &RecordingShell::no_menu,
       "the desktop says no; the menu says no"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingShell failing;
    failing.*c.fails = Failure{"the desktop says no"};
    if (c.also_fails) failing.*c.also_fails = Failure{"the menu says no"};
    host.messages.clear();
    const test::StderrCapture errors;
    finish_action(*form, failing);
    expect_one_message(kNoShortcut);
    EXPECT_EQ(errors.failure_lines(), std::vector<std::string>{"QOR_sync_PRO: desktop shortcut: " + c.report});
    EXPECT_EQ(failing.started.size(), 1u);
  }
  EXPECT_EQ(host.unloads, 2);
}

// A session without a desktop (a server, a kiosk, a minimal desktop): the
// entry goes to the applications menu, where the user still finds the
// program, and nobody is told of a failure that is none.
TEST_F(Finish, WithoutADesktopFolderTheEntryGoesToTheApplicationsMenu) {
  place_main_program("app.sh");
  shared_variables().mod.main_program = "app.sh";
  shell.no_desktop = Failure{"the user has no desktop folder"};
  const test::StderrCapture errors;
  finish_action(*form, shell);
  ASSERT_EQ(shell.saved.size(), 1u);
  EXPECT_EQ(shell.saved[0].folder, "/home/user/.local/share/applications");
  EXPECT_EQ(shell.saved[0].properties.target, at("app.sh"));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(errors.failure_lines(), std::vector<std::string>{});
  EXPECT_EQ(host.unloads, 1);
}

// The same with the session's own shell: no desktop folder under the home
// folder, or one the user's folder settings turn off.
TEST_F(Finish, WithTheSessionsShellAMachineWithoutADesktopGetsItsEntryInTheMenu) {
  TempDir home;
  const test::ScopedEnv home_env("HOME", home.path());
  const test::ScopedEnv config_env("XDG_CONFIG_HOME", std::nullopt);
  const test::ScopedEnv data_env("XDG_DATA_HOME", std::nullopt);
  place_main_program("app.sh");
  shared_variables().mod.main_program = "app.sh";
  const std::string entry = home / ".local/share/applications/QOR_software_PRO.desktop";
  const auto session_shell = make_desktop_shell();
  for (const bool turned_off : {false, true}) {
    SCOPED_TRACE(turned_off ? "desktop turned off" : "no desktop folder");
    if (turned_off) {
      fs::create_directories(home / "Desktop");
      fs::create_directories(home / ".config");
      test::write_file(home / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/\"\n");
      fs::remove(entry);
    }
    finish_action(*form, *session_shell);
    EXPECT_TRUE(host.messages.empty()) << host.messages.front().text;
    ASSERT_TRUE(fs::exists(entry));
    EXPECT_NE(test::read_file(entry).find("Exec=\"" + at("app.sh") + "\""), std::string::npos);
    EXPECT_FALSE(fs::exists(home / "QOR_software_PRO.desktop"));
  }
}

TEST_F(Finish, AProgramThatCannotBeStartedIsToldAndTheWindowStillCloses) {
  place_main_program("app.sh");
  shared_variables().mod.main_program = "app.sh";
  shell.no_start = Failure{"start " + at("app.sh") + ": the program could not be started"};
  const test::StderrCapture errors;
  finish_action(*form, shell);
  expect_one_message("Programm konnte nicht gestartet werden / Program could not be started:\r\n" + at("app.sh"));
  EXPECT_EQ(errors.failure_lines(),
            std::vector<std::string>{"QOR_sync_PRO: start the main program: " + shell.no_start->reason});
  EXPECT_EQ(shell.saved.size(), 1u);
  EXPECT_EQ(host.unloads, 1);
}

TEST_F(Finish, AProgramNameLeadingOutOfTheFolderIsNeitherLinkedNorStarted) {
  TempDir outside;
  test::write_file(outside / "evil.sh", "#!/bin/sh\n");
  const std::string escape = "../" + fs::path(outside.path()).filename().string() + "/evil.sh";
  for (const std::string& program : {escape, std::string("C:\\bin\\sh"), std::string("..\\x.sh")}) {
    SCOPED_TRACE(program);
    shared_variables().mod.main_program = program;
    host.messages.clear();
    const test::StderrCapture errors;
    finish_action(*form, shell);
    expect_one_message("Hauptprogramm nicht gefunden / Main program not found:\r\n" + program);
    const auto reasons = errors.failure_lines();
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_NE(reasons[0].find("\"" + program + "\""), std::string::npos) << reasons[0];
  }
  EXPECT_TRUE(shell.saved.empty());
  EXPECT_TRUE(shell.started.empty());
  EXPECT_EQ(test::mode_of(outside / "evil.sh") & 0111, 0u);
  EXPECT_EQ(host.unloads, 3);
}

}  // namespace
}  // namespace qor
