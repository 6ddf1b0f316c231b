// The window's own part of a run: which step each click and each timer
// starts, what the panel buttons show and hide, and the folder procedure.
// The steps are doubles that only record; where a test needs a step to move
// the window on, it names the controls that step sets.
#include <algorithm>
#include <filesystem>
#include <utility>

#include <gtest/gtest.h>

#include "portable/app_title.hpp"
#include "tests/support/files.hpp"
#include "tests/support/forwarding_file_system.hpp"
#include "tests/support/recording_host.hpp"
#include "tests/support/stderr_capture.hpp"
#include "tests/support/step_recorder.hpp"
#include "tests/support/timer_drain.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using test::run_timers;
using Calls = std::vector<std::string>;

// A path as the user reads it on this platform: "C:\\qor\\Daten" on
// Windows, "/opt/qor/Daten" elsewhere.
std::string shown(std::string path) {
#ifdef _WIN32
  std::replace(path.begin(), path.end(), '/', '\\');
#endif
  return path;
}

class Flow : public ::testing::Test {
 protected:
  Flow() {
    shared_variables() = SharedVariables{};
    form.Form_Load();
  }
  ~Flow() override { shared_variables() = SharedVariables{}; }

  // The panels and the header strip that show.
  std::string panels() {
    std::string out;
    const auto add = [&out](const char* name, bool shown) {
      if (shown) out += std::string(out.empty() ? "" : " ") + name;
    };
    add("language", form.Picture1(9).Visible);
    add("header", form.Picture30.Visible);
    add("folders", form.Picture1(0).Visible);
    add("packages", form.Picture1(1).Visible);
    add("finish", form.Picture1(2).Visible);
    return out;
  }
  bool any_timer() { return form.Timer1.Enabled || form.Timer2.Enabled || form.Timer3.Enabled || form.Timer4.Enabled; }

  test::TempDir dir;
  fs::path base{dir.path()};
  test::RecordingHost host;
  std::vector<std::string> file_systems_made_for;
  QOR_sync_FRM form{{&host,
                     [this](const std::string& folder) {
                       file_systems_made_for.push_back(folder);
                       return make_local_file_system(folder);
                     },
                     dir.path()}};
  test::StepRecorder steps{form.steps};
};

TEST_F(Flow, LoadShowsTheLanguagePanelAndStartsNothing) {
  EXPECT_EQ(form.Form.Caption.get(), "QOR synchro center");
  EXPECT_EQ(form.Label7(5).Caption.get(), "QOR synchro center");
  EXPECT_EQ(form.Label7(6).Caption.get(), "Sprache wählen / Choose language");
  EXPECT_EQ(form.Label7(7).Caption.get(), "FEHLER: keine Internetverbindung\r\nERROR: no internet connection");
  EXPECT_FALSE(form.Label7(7).Visible);
  // The server writes its paths with "\", and so is the program folder written.
  EXPECT_EQ(form.program_folder, dir.path() + "\\");
  EXPECT_EQ(file_systems_made_for, std::vector<std::string>{dir.path()});
  ASSERT_NE(form.file_system, nullptr);
  EXPECT_EQ(panels(), "language");
  EXPECT_TRUE(steps.calls.empty());
  EXPECT_FALSE(any_timer());
}

TEST_F(Flow, OfflineClickShowsTheMessageAndALaterClickGoesOn) {
  steps.online = false;
  form.Image1(0).Click();
  EXPECT_EQ(shared_variables().mod.language, "de");
  EXPECT_TRUE(form.Label7(7).Visible);
  EXPECT_EQ(panels(), "language");
  EXPECT_EQ(steps.calls, Calls{"check_internet"});

  steps.online = true;
  form.Image1(1).Click();
  EXPECT_EQ(shared_variables().mod.language, "en");
  EXPECT_EQ(steps.calls, (Calls{"check_internet", "check_internet", "load_captions"}));
  EXPECT_FALSE(any_timer());
}

// The window answers while the captions are fetched: a flag clicked then
// (the user thinks the first click was lost) starts nothing inside the run
// of the first, which goes on in the language first chosen.
TEST_F(Flow, AFlagClickedWhileTheCaptionsLoadStartsNoSecondRun) {
  bool clicked_again = false;
  steps.then(&Steps::load_captions, [this, &clicked_again] {
    if (std::exchange(clicked_again, true)) return;
    form.Image1(1).Click();
    form.Timer1.Enabled = true;
  });
  form.Image1(0).Click();
  EXPECT_EQ(steps.calls, (Calls{"check_internet", "load_captions"}));
  EXPECT_EQ(shared_variables().mod.language, "de");
  EXPECT_EQ(run_timers(form), 1);
  EXPECT_EQ(steps.count("load_transfer_settings"), 1);
  // Once the run is under way, the flags count again.
  form.Image1(1).Click();
  EXPECT_EQ(steps.count("check_internet"), 2);
}

// Each timer starts the next query once and is off again; the steps that
// end by enabling one are told to here.
TEST_F(Flow, TheTimersCarryTheChainFromStepToStep) {
  steps.then(&Steps::load_captions, [this] { form.Timer1.Enabled = true; });
  steps.then(&Steps::load_transfer_settings, [this] { form.Timer2.Enabled = true; });
  steps.then(&Steps::list_new_packages, [this] { form.Timer3.Enabled = true; });
  steps.then(&Steps::list_install_packages, [this] { form.Timer4.Enabled = true; });
  form.Image1(0).Click();
  EXPECT_EQ(run_timers(form), 4);
  EXPECT_EQ(steps.calls, (Calls{"check_internet", "load_captions", "load_transfer_settings", "list_new_packages",
                                "list_install_packages", "list_update_packages"}));
  EXPECT_FALSE(any_timer());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(Flow, EachPanelButtonRunsItsStepAndMovesToTheNextPanel) {
  steps.then(&Steps::list_new_packages, [this] {
    form.List2.assign({"PkgA", "PkgB"});
    form.Picture1(0).Visible = true;
  });
  steps.then(&Steps::list_install_packages, [this] { form.Picture1(1).Visible = true; });
  form.Timer2.Enabled = true;
  run_timers(form);
  EXPECT_EQ(panels(), "language folders");
  EXPECT_FALSE(any_timer());  // waits for the folder button

  form.Picture3(0).Click();
  EXPECT_TRUE(fs::is_directory(base / "PkgA"));
  EXPECT_TRUE(fs::is_directory(base / "PkgB"));
  EXPECT_EQ(panels(), "language");
  EXPECT_TRUE(form.Timer3.Enabled);
  run_timers(form);
  EXPECT_EQ(panels(), "language packages");  // waits for the install button

  form.Label3(1).Click();
  EXPECT_TRUE(form.Timer4.Enabled);  // the update list follows the install run
  run_timers(form);

  form.Label3(2).Click();
  EXPECT_EQ(panels(), "language finish");
  EXPECT_FALSE(any_timer());

  form.Label3(3).Click();
  EXPECT_EQ(steps.calls, (Calls{"list_new_packages", "list_install_packages", "download_packages",
                                "list_update_packages", "download_packages", "finish"}));
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(Flow, AnAbortedStepStopsTheChainThereAndTheWindowStays) {
  steps.then(&Steps::load_captions, [this] { form.Timer1.Enabled = true; });
  steps.then(&Steps::load_transfer_settings, [this] { form.Timer2.Enabled = true; });
  steps.then(&Steps::list_new_packages, [] { throw StepAborted{"cancelled"}; });
  form.Image1(0).Click();
  run_timers(form);
  EXPECT_EQ(steps.calls.back(), "list_new_packages");
  EXPECT_FALSE(any_timer());

  // An aborted download run leaves the buttons working.
  steps.then(&Steps::download_packages, [] { throw StepAborted{"cancelled"}; });
  form.Command4.Click();
  EXPECT_FALSE(form.download_in_progress());
  form.Command4.Click();
  EXPECT_EQ(steps.count("download_packages"), 2);
  EXPECT_EQ(host.unloads, 0);
}

// The user closed the window while a step yielded: the timers that step
// enabled, and the steps they chain, start nothing more.
TEST_F(Flow, OnceTheWindowIsClosedNoStepRuns) {
  steps.then(&Steps::load_captions, [this] {
    form.Timer1.Enabled = true;
    host.window_closed = true;
  });
  form.Image1(0).Click();
  EXPECT_EQ(run_timers(form), 1);
  form.Command4.Click();
  form.Label3(3).Click();
  EXPECT_EQ(steps.calls, (Calls{"check_internet", "load_captions"}));
  EXPECT_FALSE(form.download_in_progress());
}

// Panel button i is the box and its caption: a click on either does the same.
TEST(PanelButtons, BoxClickEqualsCaptionClick) {
  for (int i : {0, 1, 2, 3}) {
    SCOPED_TRACE(i);
    test::TempDir dir;
    test::RecordingHost host_box, host_caption;
    QOR_sync_FRM by_box{{&host_box, make_local_file_system, dir.path()}};
    QOR_sync_FRM by_caption{{&host_caption, make_local_file_system, dir.path()}};
    test::StepRecorder steps_box{by_box.steps}, steps_caption{by_caption.steps};
    for (QOR_sync_FRM* form : {&by_box, &by_caption}) {
      form->Form_Load();
      form->List2.AddItem("X");
      form->Picture1(0).Visible = true;
      form->Picture1(1).Visible = true;
    }
    by_box.Picture3(i).Click();
    by_caption.Label3(i).Click();
    const Calls expected[] = {{}, {"download_packages"}, {"download_packages"}, {"finish"}};
    EXPECT_EQ(steps_box.calls, expected[i]);
    EXPECT_EQ(steps_caption.calls, expected[i]);
    for (int p : {0, 1, 2}) EXPECT_EQ(by_box.Picture1(p).Visible.get(), by_caption.Picture1(p).Visible.get());
    EXPECT_EQ(by_box.Timer3.Enabled.get(), by_caption.Timer3.Enabled.get());
    EXPECT_EQ(by_box.Timer4.Enabled.get(), by_caption.Timer4.Enabled.get());
  }
}

TEST_F(Flow, HiddenCommandButtonsRunTheirSingleSteps) {
  form.Command1.Click();
  form.Command3.Click();
  EXPECT_EQ(shared_variables().ftp.listing_list, &form.List4);
  form.Command4.Click();
  form.List3.Click();
  EXPECT_EQ(steps.calls, (Calls{"load_transfer_settings", "connect_ftp", "download_packages"}));
  EXPECT_FALSE(any_timer());
}

// The download run yields to the event loop; a click that arrives meanwhile
// must not start a second run over the same files.
TEST_F(Flow, NoSecondDownloadWhileOneIsYielding) {
  steps.then(&Steps::download_packages, [this] {
    EXPECT_TRUE(form.download_in_progress());
    form.Label3(2).Click();
    form.Picture3(1).Click();
    form.Command4.Click();
    form.Label3(3).Click();
  });
  form.Label3(1).Click();
  EXPECT_EQ(steps.calls, Calls{"download_packages"});
  form.Label3(2).Click();  // after the run, the button works again
  EXPECT_EQ(steps.count("download_packages"), 2);
}

// A file system that notes every folder creation.
class CountingFileSystem : public test::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::vector<std::string> created;
  Status CreateFolder(const std::string& p) override {
    created.push_back(p);
    return ForwardingFileSystem::CreateFolder(p);
  }
};

TEST_F(Flow, CreateMissingFoldersSkipsExistingAndGoesOnPastFailures) {
  auto counting = std::make_unique<CountingFileSystem>(dir.path());
  CountingFileSystem& fs_double = *counting;
  form.file_system = std::move(counting);
  fs::create_directory(base / "Old");
  test::write_file((base / "Old" / "keep.txt").string(), "user data");
  test::write_file((base / "AFile").string(), "not a folder");
  form.List2.assign({"Old", "New1", "NoParent\\Child", "AFile", "New2\\", "Sub"});
  form.List2.AddItem("Sub\\Inner");  // its parent comes earlier in the list
  form.Picture1(0).Visible = true;

  const test::StderrCapture errors;
  form.Picture3(0).Click();

  EXPECT_TRUE(fs::is_directory(base / "New1"));
  EXPECT_TRUE(fs::is_directory(base / "New2"));
  EXPECT_TRUE(fs::is_directory(base / "Sub" / "Inner"));
  EXPECT_FALSE(fs::exists(base / "NoParent"));
  EXPECT_EQ(test::read_file((base / "Old" / "keep.txt").string()), "user data");
  EXPECT_EQ(test::read_file((base / "AFile").string()), "not a folder");
  for (const auto& path : fs_double.created) EXPECT_EQ(path.find("Old"), std::string::npos) << path;
  // One message names every folder that could not be created, as the
  // platform writes its paths.
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Ordner konnte nicht angelegt werden / Folder could not be created:\r\n" +
                                       shown(dir.path() + "/NoParent/Child") + "\r\n" + shown(dir.path() + "/AFile"));
  EXPECT_EQ(host.messages[0].caption, kApplicationTitle);
  EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
  // Standard error tells why, one line per folder, in the platform's words.
  const auto reasons = errors.failure_lines();
  ASSERT_EQ(reasons.size(), 2u) << errors.text();
  const auto why = [this](const std::string& folder) {
    return make_local_file_system(dir.path())->CreateFolder(dir.path() + folder).failure().reason;
  };
  EXPECT_NE(reasons[0].find(why("/NoParent/Child")), std::string::npos) << reasons[0];
  EXPECT_NE(reasons[1].find(why("/AFile")), std::string::npos) << reasons[1];
  EXPECT_FALSE(form.Picture1(0).Visible);
  EXPECT_TRUE(form.Timer3.Enabled);
}

TEST_F(Flow, ManyFailedFoldersAreCountedNotAllNamed) {
  std::vector<std::string> names(12);
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = "missing\\" + std::to_string(i);
  form.List2.assign(names);
  const test::StderrCapture errors;
  form.create_missing_folders();
  ASSERT_EQ(host.messages.size(), 1u);
  const std::string& text = host.messages[0].text;
  EXPECT_NE(text.find(shown(dir.path() + "/missing/9")), std::string::npos) << text;
  EXPECT_EQ(text.find(shown(dir.path() + "/missing/10")), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("\r\n(+2)")) << text;
  EXPECT_EQ(errors.failure_lines().size(), 12u);
  EXPECT_TRUE(form.Timer3.Enabled);
}

// A long folder list yields to the event loop as it goes, so the window
// repaints and answers; a click on the panel meanwhile starts no second
// pass over the list.
TEST_F(Flow, TheFolderStepLetsTheWindowAnswerAsItGoes) {
  auto counting = std::make_unique<CountingFileSystem>(dir.path());
  CountingFileSystem& fs_double = *counting;
  form.file_system = std::move(counting);
  std::vector<std::string> names;
  names.reserve(300);
  for (int i = 0; i < 300; ++i) names.push_back("Ordner" + std::to_string(i));
  form.List2.assign(names);
  std::vector<std::size_t> made_at_yield;
  host.on_yield = [&] {
    made_at_yield.push_back(fs_double.created.size());
    form.Label3(0).Click();
  };
  form.Label3(0).Click();
  // Several times along the list, not only at its end.
  ASSERT_GE(made_at_yield.size(), 4u);
  EXPECT_LT(made_at_yield.front(), 100u);
  EXPECT_EQ(fs_double.created.size(), 300u);
  EXPECT_TRUE(fs::is_directory(base / "Ordner299"));
  EXPECT_TRUE(form.Timer3.Enabled);
}

// Closing the window while folders are made ends the step there: no further
// folder, no message, no next step.
TEST_F(Flow, ClosingTheWindowEndsTheFolderStep) {
  std::vector<std::string> names{"NoParent\\Child"};
  names.reserve(301);
  for (int i = 0; i < 300; ++i) names.push_back("Ordner" + std::to_string(i));
  form.List2.assign(names);
  form.Picture1(0).Visible = true;
  host.on_yield = [this] { host.window_closed = true; };
  const test::StderrCapture errors;
  form.create_missing_folders();
  EXPECT_GE(host.yields, 1);
  EXPECT_TRUE(fs::is_directory(base / "Ordner0"));
  EXPECT_FALSE(fs::exists(base / "Ordner299"));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(errors.failure_lines().size(), 1u);  // the failure before the close is still told
  EXPECT_FALSE(any_timer());
  run_timers(form);
  EXPECT_TRUE(steps.calls.empty());
}

TEST_F(Flow, CreateMissingFoldersWithAnEmptyListStillMovesOn) {
  form.Picture1(0).Visible = true;
  form.create_missing_folders();
  EXPECT_FALSE(form.Picture1(0).Visible);
  EXPECT_TRUE(form.Timer3.Enabled);
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace qor
