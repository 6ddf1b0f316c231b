// The finish panel's action: a desktop shortcut to the main application, the
// application started from its folder, the window closed, and every failure
// told to the user once and to standard error with its reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "install_fixture.hpp"
#include "shell.hpp"
#include "stderr_capture.hpp"

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
  std::optional<Failure> no_desktop, no_save, no_start;

  Result<std::string> desktop_folder() override {
    if (no_desktop) return *no_desktop;
    return std::string("/home/user/Desktop");
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

TEST_F(Finish, ThePathsOfASubFolderProgramAreLocalPaths) {
  fs::create_directory(at("bin"));
  place_main_program("bin/app.sh");
  shared_variables().mod.main_program = "bin\\app.sh";
  finish_action(*form, shell);
  ASSERT_EQ(shell.saved.size(), 1u);
  EXPECT_EQ(shell.saved[0].properties.target, at("bin/app.sh"));
  ASSERT_EQ(shell.started.size(), 1u);
  EXPECT_EQ(shell.started[0].first, at("bin/app.sh"));
}

TEST_F(Finish, AnAbsentOrUnnamedProgramGetsItsEntryButNothingStarts) {
  for (const std::string program : {"missing.exe", ""}) {
    SCOPED_TRACE(program);
    shared_variables().mod.main_program = program;
    shell.saved.clear();
    finish_action(*form, shell);
    ASSERT_EQ(shell.saved.size(), 1u);
    EXPECT_EQ(shell.saved[0].properties.target, at(program));
  }
  EXPECT_TRUE(shell.started.empty());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.unloads, 2);
}

TEST_F(Finish, AShortcutThatCannotBeWrittenIsToldAndTheProgramStillStarts) {
  place_main_program("app.sh");
  shared_variables().mod.main_program = "app.sh";
  for (const bool desktop_missing : {true, false}) {
    SCOPED_TRACE(desktop_missing ? "no desktop folder" : "no room on the desktop");
    RecordingShell failing;
    (desktop_missing ? failing.no_desktop : failing.no_save) = Failure{"the desktop says no"};
    host.messages.clear();
    const test::StderrCapture errors;
    finish_action(*form, failing);
    expect_one_message(kNoShortcut);
    EXPECT_EQ(errors.failure_lines(), std::vector<std::string>{"QOR_sync_PRO: desktop shortcut: the desktop says no"});
    EXPECT_EQ(failing.started.size(), 1u);
  }
  EXPECT_EQ(host.unloads, 2);
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
  for (const std::string& program : {escape, std::string("/bin/sh"), std::string("..\\x.sh")}) {
    SCOPED_TRACE(program);
    shared_variables().mod.main_program = program;
    host.messages.clear();
    const test::StderrCapture errors;
    finish_action(*form, shell);
    expect_one_message(kNoShortcut);
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
