// The desktop entry and the finish action, with a temporary home folder for
// the real desktop shell and a recording shell where nothing may start.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <sys/stat.h>

#include "desktop_entry.hpp"
#include "install_test_support.hpp"
#include "shell.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::InstallFixture;
using test::ScopedEnv;
using test::TempDir;

struct RecordingShell : Shell {
  std::string desktop = "/nonexistent-desktop";
  std::map<std::string, std::string> written;
  std::vector<std::string> started;
  std::string desktop_folder() override { return desktop; }
  bool write_file(const std::string& path, const std::string& content, unsigned) override {
    written[path] = content;
    return true;
  }
  bool start_detached(const std::string& program, const std::string&) override {
    started.push_back(program);
    return true;
  }
};

class Finish : public ::testing::Test, public InstallFixture {
 protected:
  Finish() : home_env_("HOME", home.path().c_str()), config_env_("XDG_CONFIG_HOME", nullptr) {}

  std::string shortcut_in(const std::string& folder) const { return folder + "/QOR_software_PRO.desktop"; }
  std::string expected_entry(const std::string& target) const {
    return "[Desktop Entry]\nType=Application\nName=QOR_software_PRO\nExec=\"" + target + "\"\nPath=" + program.path() +
           "\nIcon=" + program.path() + "/QOR_Icons.dll\n";
  }
  // A main application that leaves a marker in its working folder.
  void place_main_program(const std::string& name) {
    test::write_file(at(name), "#!/bin/sh\necho started > \"$PWD/marker\"\n");
    ::chmod(at(name).c_str(), 0644);
  }
  bool marker_appears() {
    for (int i = 0; i < 200 && !fs::exists(at("marker")); ++i) std::this_thread::sleep_for(50ms);
    return fs::exists(at("marker"));
  }

  TempDir home;

 private:
  ScopedEnv home_env_, config_env_;
};

TEST_F(Finish, WritesTheEntryOnTheUsersDesktopStartsThePresentProgramAndCloses) {
  fs::create_directories(home / ".config");
  test::write_file(home / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
  fs::create_directories(home / "Schreibtisch");
  test::write_file(shortcut_in(home / "Schreibtisch"), "earlier entry");
  place_main_program("app.sh");
  shared_variables().mod.main_program = "app.sh";
  const auto shell = make_desktop_shell();
  finish_action(*form, *shell);

  EXPECT_EQ(test::read_file(shortcut_in(home / "Schreibtisch")), expected_entry(at("app.sh")));
  struct stat st {};
  ASSERT_EQ(::stat(shortcut_in(home / "Schreibtisch").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_EQ(std::distance(fs::directory_iterator(home / "Schreibtisch"), fs::directory_iterator{}), 1)
      << "no temporary file left behind";
  EXPECT_TRUE(marker_appears()) << "started in the application folder";
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.unloads, 1);
}

TEST_F(Finish, WithoutADesktopFolderTheUserIsToldAndTheProgramStillStarts) {
  place_main_program("app.sh");
  shared_variables().mod.main_program = "app.sh";
  const auto shell = make_desktop_shell();
  finish_action(*form, *shell);

  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find("Shortcut could not be created"), std::string::npos);
  EXPECT_EQ(host.buttons_seen[0], MsgButtons::OK);
  EXPECT_EQ(host.captions[0], "QOR_sync_PRO");
  EXPECT_TRUE(marker_appears());
  EXPECT_EQ(host.unloads, 1);
}

TEST_F(Finish, AnAbsentOrUnnamedProgramGetsItsEntryButNothingStarts) {
  RecordingShell shell;
  for (const std::string program : {"missing.exe", ""}) {
    SCOPED_TRACE(program);
    shared_variables().mod.main_program = program;
    shell.written.clear();
    finish_action(*form, shell);
    EXPECT_EQ(shell.written[shortcut_in(shell.desktop)], expected_entry(program.empty() ? at("") : at(program)));
  }
  EXPECT_TRUE(shell.started.empty());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.unloads, 2);
}

TEST_F(Finish, AProgramNameLeadingOutOfTheFolderIsNeitherLinkedNorStarted) {
  TempDir outside;
  test::write_file(outside / "evil.sh", "#!/bin/sh\n");
  RecordingShell shell;
  shared_variables().mod.main_program = "../" + fs::path(outside.path()).filename().string() + "/evil.sh";
  finish_action(*form, shell);
  EXPECT_TRUE(shell.written.empty());
  EXPECT_TRUE(shell.started.empty());
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.unloads, 1);
}

TEST(DesktopEntry, QuotesTheTargetSoNoPathCanBreakTheEntry) {
  EXPECT_EQ(exec_argument("/opt/my app/run"), "\"/opt/my app/run\"");
  EXPECT_EQ(exec_argument("/a\"b$c`d\\e%f"), R"("/a\\"b\\$c\\`d\\\\e%%f")");
  EXPECT_EQ(exec_argument("/a\nName=x"), R"("/a\nName=x")");
  EXPECT_EQ(escape_string_value("/p\\q\tr\rs\nt"), R"(/p\\q\tr\rs\nt)");
  EXPECT_EQ(escape_string_value(" lead"), R"(\slead)");
  const std::string entry = desktop_entry_text("/x/a\nType=Link", "/x\n[Other]");
  EXPECT_EQ(std::count(entry.begin(), entry.end(), '\n'), 6);
}

}  // namespace
}  // namespace qor
