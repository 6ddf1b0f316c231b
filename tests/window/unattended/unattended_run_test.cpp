// The window's run without the window: the driver takes the panels in the
// window's order and presses each once, a check stops before the first
// write, no message waits, and the exit code follows what went wrong. The
// steps are doubles that move the window on as the real ones do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/file_system.hpp"
#include "tests/support/files.hpp"
#include "tests/support/step_recorder.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/unattended/exit_codes.hpp"
#include "window/unattended/run_log.hpp"
#include "window/unattended/run_unattended.hpp"
#include "window/unattended/unchanging_file_system.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;

// What a console shows: a temporary file read back.
class Console {
 public:
  Console() : file_(std::tmpfile()) {}
  ~Console() { std::fclose(file_); }
  std::FILE* get() { return file_; }
  std::string text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) out.append(buffer, n);
    return out;
  }

 private:
  std::FILE* file_;
};

class UnattendedRun : public ::testing::Test {
 protected:
  UnattendedRun() { shared_variables() = SharedVariables{}; }
  ~UnattendedRun() override { shared_variables() = SharedVariables{}; }

  // Runs the form with the steps the test describes; the exit code.
  int run(bool check, const std::function<void(QOR_sync_FRM&, test::StepRecorder&)>& describe) {
    UnattendedOptions options;
    options.check = check;
    options.update_server = "127.0.0.1:1";
    return run_unattended(dir.path(), options, log, make_local_file_system, [&](QOR_sync_FRM& form) {
      recorder = std::make_unique<test::StepRecorder>(form.steps);
      describe(form, *recorder);
    });
  }

  // The steps of a run with one new folder, one file to install and one to
  // update, moving the window on as the real steps do.
  static void whole_run(QOR_sync_FRM& form, test::StepRecorder& steps) {
    steps.then(&Steps::load_captions, [&form] { form.Timer1.Enabled = true; });
    steps.then(&Steps::load_transfer_settings, [&form] {
      form.steps.connect_ftp();
      form.Timer2.Enabled = true;
    });
    steps.then(&Steps::list_new_packages, [&form] {
      form.List2.AddItem("Daten");
      form.Picture1(0).Visible = true;
    });
    steps.then(&Steps::list_install_packages, [&form] {
      form.List3.Clear();
      form.List3.AddItem("qor_tools.dll");
      form.Picture1(1).Visible = true;
      form.Picture3(1).Visible = true;
    });
    steps.then(&Steps::list_update_packages, [&form] {
      form.Picture3(1).Visible = false;
      form.Picture3(2).Visible = true;
    });
    steps.then(&Steps::finish, [&form] { form.host().Unload(); });
  }

  test::TempDir dir;
  Console console;
  RunLog log{console.get(), ""};
  std::unique_ptr<test::StepRecorder> recorder;
};

TEST_F(UnattendedRun, TakesEveryStepAndPanelInTheWindowsOrderOnce) {
  EXPECT_EQ(run(false, whole_run), kExitDone) << console.text();
  EXPECT_EQ(recorder->calls, (Calls{"check_internet", "load_captions", "load_transfer_settings", "connect_ftp",
                                    "list_new_packages", "list_install_packages", "download_packages",
                                    "list_update_packages", "download_packages", "finish"}));
  // The folder panel's own procedure made the folder.
  EXPECT_TRUE(fs::is_directory(fs::path(dir.path()) / "Daten"));
  const std::string out = console.text();
  EXPECT_NE(out.find("folder made: Daten"), std::string::npos) << out;
  EXPECT_NE(out.find("result: exit 0"), std::string::npos) << out;
}

TEST_F(UnattendedRun, ACheckTellsWhatIsDueAndStopsBeforeTheFirstWrite) {
  EXPECT_EQ(run(true, whole_run), kExitDue) << console.text();
  EXPECT_EQ(recorder->calls, (Calls{"check_internet", "load_captions", "load_transfer_settings", "connect_ftp",
                                    "list_new_packages", "list_install_packages", "list_update_packages"}));
  EXPECT_FALSE(fs::exists(fs::path(dir.path()) / "Daten"));
  const std::string out = console.text();
  EXPECT_NE(out.find("due folder: Daten"), std::string::npos) << out;
  EXPECT_NE(out.find("due for install: qor_tools.dll"), std::string::npos) << out;
}

TEST_F(UnattendedRun, ACheckWithNothingDueEndsWithZero) {
  EXPECT_EQ(run(true,
                [](QOR_sync_FRM& form, test::StepRecorder& steps) {
                  steps.then(&Steps::load_captions, [&form] { form.Timer1.Enabled = true; });
                  steps.then(&Steps::load_transfer_settings, [&form] { form.Timer2.Enabled = true; });
                  steps.then(&Steps::list_new_packages, [&form] { form.Timer3.Enabled = true; });
                  steps.then(&Steps::list_install_packages, [&form] { form.Timer4.Enabled = true; });
                  steps.then(&Steps::list_update_packages, [&form] { form.Picture1(2).Visible = true; });
                }),
            kExitDone)
      << console.text();
  EXPECT_EQ(recorder->count("finish"), 0);
}

// Retry with nobody to press it would ask forever: the box is answered
// Cancel at once, and the step it belongs to is the run's last.
TEST_F(UnattendedRun, AFailedQueryIsAnsweredAtOnceAndEndsTheRunWithThree) {
  MsgResult answered = MsgResult::Retry;
  EXPECT_EQ(run(false,
                [&answered](QOR_sync_FRM& form, test::StepRecorder& steps) {
                  whole_run(form, steps);
                  steps.then(&Steps::list_install_packages, [&form, &answered] {
                    answered = form.host().MsgBox("The request to the update server failed (art=install).",
                                                  MsgButtons::RetryCancel, "QOR_sync_PRO");
                    if (answered != MsgResult::Retry) throw StepAborted{"art=install"};
                  });
                }),
            kExitServerUnreachable);
  EXPECT_EQ(answered, MsgResult::Cancel);
  EXPECT_EQ(recorder->count("download_packages"), 0);
  EXPECT_EQ(recorder->count("list_update_packages"), 0);
  EXPECT_NE(console.text().find("message: The request to the update server failed (art=install)."), std::string::npos);
}

TEST_F(UnattendedRun, AServerThatDoesNotAnswerTheCheckIsThree) {
  EXPECT_EQ(run(false,
                [](QOR_sync_FRM& form, test::StepRecorder& steps) {
                  whole_run(form, steps);
                  steps.online = false;
                }),
            kExitServerUnreachable);
  EXPECT_EQ(recorder->calls, Calls{"check_internet"});
}

// The connection's box is its failure; the files that fail after it fail
// because of it, and the code names the cause.
TEST_F(UnattendedRun, AFailedFtpConnectionIsFourEvenWhenFilesFailAfterIt) {
  EXPECT_EQ(run(false,
                [](QOR_sync_FRM& form, test::StepRecorder& steps) {
                  whole_run(form, steps);
                  steps.then(&Steps::connect_ftp, [&form] {
                    form.host().MsgBox("Fehler beim Verbindungsaufbau", MsgButtons::OK, "QOR_sync_PRO");
                  });
                  steps.then(&Steps::download_packages, [&form] {
                    form.host().file_outcome(FileOutcome::Failed, "qor_tools.dll", "not connected");
                  });
                }),
            kExitFtpFailed);
  EXPECT_NE(console.text().find("ftp: the connection to"), std::string::npos) << console.text();
}

TEST_F(UnattendedRun, FailedFilesAreFiveEachWithItsReasonTheRestIsDone) {
  EXPECT_EQ(run(false,
                [](QOR_sync_FRM& form, test::StepRecorder& steps) {
                  whole_run(form, steps);
                  steps.then(&Steps::download_packages, [&form] {
                    form.host().file_outcome(FileOutcome::Fetched, "a.dll", "/opt/qor/a.dll");
                    form.host().file_outcome(FileOutcome::Stamped, "a.dll", "2026-12-01 08:30:00");
                    form.host().file_outcome(FileOutcome::Failed, "b.dll", "write: No space left on device");
                  });
                }),
            kExitFilesFailed);
  const std::string out = console.text();
  EXPECT_NE(out.find("fetched: /opt/qor/a.dll\nstamped: a.dll 2026-12-01 08:30:00\n"
                     "failed: b.dll: write: No space left on device\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("install: 1 file fetched, 1 failed"), std::string::npos) << out;
  EXPECT_EQ(recorder->count("finish"), 1) << "the run stopped at the failure";
}

TEST_F(UnattendedRun, TheFinishActionsFailuresAreFailedFiles) {
  EXPECT_EQ(run(false,
                [](QOR_sync_FRM& form, test::StepRecorder& steps) {
                  whole_run(form, steps);
                  steps.then(&Steps::finish, [&form] {
                    form.host().MsgBox("Hauptprogramm nicht gefunden / Main program not found:\r\n/opt/qor/x",
                                       MsgButtons::OK, "QOR_sync_PRO");
                    form.host().Unload();
                  });
                }),
            kExitFilesFailed);
  // The box's two lines are one line of the record.
  EXPECT_NE(console.text().find("message: Hauptprogramm nicht gefunden / Main program not found: / /opt/qor/x\n"),
            std::string::npos)
      << console.text();
}

// The first cause in the order of the steps names the run's end.
TEST(ExitCode, TheEarliestCauseOutranksWhatFollowsFromIt) {
  RunFacts facts;
  EXPECT_EQ(exit_code(facts), kExitDone);
  facts.something_due = true;
  EXPECT_EQ(exit_code(facts), kExitDue);
  facts.files_failed = 2;
  EXPECT_EQ(exit_code(facts), kExitFilesFailed);
  facts.release_refused = true;
  EXPECT_EQ(exit_code(facts), kExitReleaseRefused);
  facts.ftp_failed = true;
  EXPECT_EQ(exit_code(facts), kExitFtpFailed);
  facts.server_unreachable = true;
  EXPECT_EQ(exit_code(facts), kExitServerUnreachable);
}

TEST(RunLog, EachRecordIsOneLineOnTheConsoleAndATimedLineAppendedToTheLog) {
  test::TempDir dir;
  const std::string path = dir / "run.log";
  test::write_file(path, "an earlier run\n");
  Console console;
  {
    RunLog log(console.get(), path);
    ASSERT_TRUE(log.ready());
    log.line("message: Ordner konnte nicht angelegt werden / Folder could not be created:\r\n/opt/qor/a\nb\x01");
    log.line("result: exit 0");
  }
  EXPECT_EQ(console.text(),
            "message: Ordner konnte nicht angelegt werden / Folder could not be created: / /opt/qor/a / b\\x01\n"
            "result: exit 0\n");
  std::string logged = test::read_file(path);
  // Windows writes its text files' line ends as CR LF.
  logged.erase(std::remove(logged.begin(), logged.end(), '\r'), logged.end());
  ASSERT_EQ(logged.rfind("an earlier run\n", 0), 0u) << "the log was not appended to: " << logged;
  const std::string ours = logged.substr(std::string("an earlier run\n").size());
  // "YYYY-MM-DD HH:MM:SS " before each line.
  ASSERT_EQ(std::count(ours.begin(), ours.end(), '\n'), 2) << ours;
  EXPECT_EQ(ours.substr(19, 16), " message: Ordner") << ours;
  EXPECT_EQ(ours[4], '-');
  EXPECT_NE(ours.find(" result: exit 0\n"), std::string::npos);

  EXPECT_FALSE(RunLog(nullptr, dir / "no-such-folder/run.log").ready());
  EXPECT_TRUE(RunLog(nullptr, "").ready());
}

TEST(UnchangingFileSystem, LooksAtTheFolderAndChangesNothingInIt) {
  test::TempDir dir;
  test::write_file(dir / "qor_tools.dll", "old tools");
  fs::create_directory(fs::path(dir.path()) / "Daten");
  const auto files = unchanging(make_local_file_system)(dir.path() + "\\");
  const std::string base = dir.path() + "/";
  EXPECT_TRUE(files->FolderExists(base + "Daten"));
  EXPECT_TRUE(files->FileExists(base + "qor_tools.dll"));
  EXPECT_TRUE(files->DateLastModified(base + "qor_tools.dll"));

  EXPECT_FALSE(files->CreateFolder(base + "Bilder"));
  EXPECT_FALSE(files->replace_file(base + "qor_tools.dll"));
  EXPECT_FALSE(files->replace_file(base + "new.dll"));
  EXPECT_FALSE(files->set_last_write_time(base + "qor_tools.dll", FILETIME{}));
  EXPECT_FALSE(files->make_startable(base + "qor_tools.dll"));
  EXPECT_FALSE(files->start_placement_run()->hold(nullptr, Placing{}));
  // What a real run does first is left to it, without a failure to report.
  EXPECT_TRUE(files->remove_download_leftovers());
  EXPECT_TRUE(files->finish_interrupted_run());

  EXPECT_FALSE(fs::exists(fs::path(dir.path()) / "Bilder"));
  EXPECT_FALSE(fs::exists(fs::path(dir.path()) / "new.dll"));
  EXPECT_EQ(test::read_file(dir / "qor_tools.dll"), "old tools");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace qor
