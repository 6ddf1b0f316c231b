// An update that lists the client's own program: the running program is
// moved aside and the new one takes its place; the next start removes what
// was set aside. Another program's running file is only in use.
#include <gtest/gtest.h>

#include "platform/file_system.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/platform/win32/child_process.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/eventually.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::file_exists;
using test::read_file;
using test::TempDir;

std::string helper(const std::string& name) { return test::from_linux_path(QOR_TEST_HELPERS "/" + name + ".exe"); }

// A copy of the replacing program under the client's name, and the bytes of
// a newer one (the same program with bytes of its own at the end).
struct Installation {
  TempDir dir;
  std::string program = dir / "QOR_sync_PRO.exe";
  std::string old_bytes = read_file(helper("replace_self"));
  std::string new_bytes = old_bytes + "\nthe newer program";
  Installation() {
    test::write_file(program, old_bytes);
    test::write_file(dir / "new.bin", new_bytes);
  }
  unsigned long run(const std::vector<std::string>& arguments) {
    ChildProcess child(program, arguments);
    const auto code = child.wait(30s);
    EXPECT_TRUE(code.has_value()) << "the program did not end";
    return code.value_or(~0ul);
  }
};

TEST(RunningProgram, ReplacesItselfAndTheNextStartRemovesTheOldOne) {
  Installation app;
  // Named in other letters than its file: the file is the same.
  ASSERT_EQ(app.run({"--replace", app.dir / "qor_sync_pro.EXE", "--with", app.dir / "new.bin"}), 0u);
  EXPECT_EQ(read_file(app.program), app.new_bytes);
  ASSERT_TRUE(file_exists(app.program + ".old"));
  EXPECT_EQ(read_file(app.program + ".old"), app.old_bytes);

  ASSERT_EQ(app.run({"--tidy"}), 0u);
  EXPECT_FALSE(file_exists(app.program + ".old"));
  EXPECT_EQ(test::file_names(app.dir.path()), (std::vector<std::string>{"QOR_sync_PRO.exe", "new.bin"}));
}

// The same in a run of placements, and when the next start finishes a run
// that stopped before the program's rename: the program that does so is the
// one to be replaced, and it sets itself aside.
TEST(RunningProgram, ARunAndTheNextStartAfterAStoppedRunSetTheRunningProgramAside) {
  Installation run;
  ASSERT_EQ(run.run({"--replace", run.program, "--with", run.dir / "new.bin", "--run"}), 0u);
  EXPECT_EQ(read_file(run.program), run.new_bytes);
  EXPECT_EQ(read_file(run.program + ".old"), run.old_bytes);
  EXPECT_FALSE(file_exists(run.dir / ".qor-placement-journal"));

  Installation stopped;
  test::write_file(stopped.dir / ".qor-download-abc123", stopped.new_bytes);
  test::write_file(stopped.dir / ".qor-placement-journal",
                   "qor placement journal 1\nR\t\t.qor-download-abc123\tQOR_sync_PRO.exe\nend\n");
  ASSERT_EQ(stopped.run({"--finish", stopped.dir.path()}), 0u);
  EXPECT_EQ(read_file(stopped.program), stopped.new_bytes);
  EXPECT_EQ(read_file(stopped.program + ".old"), stopped.old_bytes);
  EXPECT_EQ(test::file_names(stopped.dir.path()),
            (std::vector<std::string>{"QOR_sync_PRO.exe", "QOR_sync_PRO.exe.old", "new.bin"}));
}

TEST(RunningProgram, WhatWasSetAsideStaysWhileTheOldProgramStillRuns) {
  Installation app;
  ChildProcess old_program(app.program, {"--replace", app.program, "--with", app.dir / "new.bin", "--hold"});
  // Looked at without opening it: an open file could not be moved aside.
  ASSERT_TRUE(test::eventually([&] { return file_exists(app.program + ".old") && file_exists(app.program); }));
  EXPECT_EQ(read_file(app.program), app.new_bytes);
  ASSERT_EQ(app.run({"--tidy"}), 0u);
  EXPECT_TRUE(file_exists(app.program + ".old"));

  old_program.end();
  ASSERT_EQ(app.run({"--tidy"}), 0u);
  EXPECT_FALSE(file_exists(app.program + ".old"));
}

// Only this process's own file is moved aside; another running program's
// file is in use, and its update fails with the old file left whole.
TEST(RunningProgram, AnotherRunningProgramIsAFileInUse) {
  TempDir dir;
  const std::string other = dir / "QOR_software.exe";
  test::write_file(other, read_file(helper("note_start")));
  ChildProcess running(other, {"--hold"});
  ASSERT_TRUE(test::eventually([&] { return file_exists(other + ".note"); }));

  const auto fs = make_local_file_system(dir.path());
  auto replacement = fs->replace_file(other);
  ASSERT_TRUE(replacement) << replacement.failure().reason;
  ASSERT_TRUE((*replacement)->write("new", 3));
  const auto committed = (*replacement)->commit(Placement::Replace);
  ASSERT_FALSE(committed);
  EXPECT_NE(committed.failure().reason.find(local_path(other)), std::string::npos) << committed.failure().reason;
  EXPECT_EQ(read_file(other), read_file(helper("note_start")));
  EXPECT_FALSE(file_exists(other + ".old"));
  EXPECT_EQ(test::file_names(dir.path()), (std::vector<std::string>{"QOR_software.exe", "QOR_software.exe.note"}));
}

}  // namespace
}  // namespace qor
