// The chain of steps and panels, the panel buttons and create_missing_folders,
// on the window model with step doubles.
#include <filesystem>

#include <gtest/gtest.h>

#include "QOR_sync_FRM.hpp"
#include "app_title.hpp"
#include "server_process.hpp"
#include "window_doubles.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using test::install_step_doubles;
using test::run_timers;
using Calls = std::vector<std::string>;

class Flow : public ::testing::Test {
 protected:
  Flow() {
    shared_variables() = SharedVariables{};
    install_step_doubles(form, road, calls);
    form.Form_Load();
  }
  ~Flow() override { shared_variables() = SharedVariables{}; }

  // Which of the panels, the header strip and the panel-button parts show.
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
    if (form.Picture1(1).Visible) {
      add("button1", form.Picture3(1).Visible);
      add("button2", form.Picture3(2).Visible);
      add("install-heading", form.Label6(2).Visible);
      add("update-heading", form.Label6(3).Visible);
    }
    return out;
  }
  bool any_timer() { return form.Timer1.Enabled || form.Timer2.Enabled || form.Timer3.Enabled || form.Timer4.Enabled; }

  test::TempDir dir;
  fs::path base{dir.path()};
  test::RecordingHost host;
  test::Road road;
  Calls calls;
  QOR_sync_FRM form{{&host, make_local_file_system, dir.path()}};
};

TEST_F(Flow, LoadShowsTheLanguagePanelAndStartsNothing) {
  EXPECT_EQ(form.Form.Caption.get(), "QOR synchro center");
  EXPECT_EQ(form.Label7(5).Caption.get(), "QOR synchro center");
  EXPECT_EQ(form.Label7(6).Caption.get(), "Sprache wählen / Choose language");
  EXPECT_EQ(form.Label7(7).Caption.get(), "FEHLER: keine Internetverbindung\r\nERROR: no internet connection");
  EXPECT_FALSE(form.Label7(7).Visible);
  EXPECT_EQ(form.program_folder, dir.path() + "/");
  ASSERT_NE(form.file_system, nullptr);
  EXPECT_EQ(panels(), "language");
  EXPECT_TRUE(calls.empty());
  EXPECT_FALSE(any_timer());
}

TEST_F(Flow, OfflineClickShowsTheMessageAndALaterClickGoesOn) {
  road.online = false;
  form.Image1(0).Click();
  EXPECT_EQ(shared_variables().mod.language, "de");
  EXPECT_TRUE(form.Label7(7).Visible);
  EXPECT_EQ(panels(), "language");
  EXPECT_EQ(calls, (Calls{"check_internet"}));
  EXPECT_FALSE(any_timer());

  road.online = true;
  form.Image1(1).Click();
  EXPECT_EQ(shared_variables().mod.language, "en");
  EXPECT_EQ(panels(), "header");  // the message goes with its panel
  EXPECT_TRUE(form.Timer1.Enabled);
  EXPECT_EQ(calls, (Calls{"check_internet", "check_internet", "load_captions"}));
}

TEST_F(Flow, FullRoadWaitsAtEachPanelButton) {
  road.missing_folders = {"PkgA", "PkgB"};
  road.install_due = {"a.exe"};
  road.update_due = {"b.dll", "c.dll"};

  form.Image1(0).Click();
  run_timers(form);
  EXPECT_EQ(panels(), "header folders");  // row 5: waits for panel button 0
  EXPECT_EQ(form.List2.texts(), (std::vector<std::string>{"PkgA", "PkgB"}));
  EXPECT_FALSE(any_timer());

  form.Picture3(0).Click();  // row 6
  EXPECT_TRUE(fs::is_directory(base / "PkgA"));
  EXPECT_TRUE(fs::is_directory(base / "PkgB"));
  EXPECT_TRUE(form.Timer3.Enabled);
  run_timers(form);
  EXPECT_EQ(panels(), "header packages button1 install-heading");  // row 7: waits for button 1

  form.Label3(1).Click();  // row 8
  EXPECT_TRUE(form.Timer4.Enabled);
  run_timers(form);
  EXPECT_EQ(panels(), "header packages button2 update-heading");  // row 9: waits for button 2

  form.Label3(2).Click();  // row 10
  EXPECT_EQ(panels(), "header finish");
  EXPECT_FALSE(any_timer());

  form.Label3(3).Click();  // row 11
  EXPECT_EQ(host.unloads, 1);
  EXPECT_EQ(calls, (Calls{"check_internet", "load_captions", "load_transfer_settings", "list_new_packages",
                          "list_install_packages", "download_packages", "list_update_packages", "download_packages",
                          "finish"}));
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(Flow, NothingDueGoesStraightToTheFinishPanel) {
  int folder_panel_shown = 0, package_panel_shown = 0;
  struct Watch : ControlObserver {
    int& count;
    explicit Watch(int& c) : count(c) {}
    void changed(Control& c, Aspect a) override {
      if (a == Aspect::Visible && c.Visible) ++count;
    }
  } folders{folder_panel_shown}, packages{package_panel_shown};
  form.Picture1(0).set_observer(&folders);
  form.Picture1(1).set_observer(&packages);

  form.Image1(1).Click();
  run_timers(form);
  EXPECT_EQ(panels(), "header finish");
  EXPECT_EQ(folder_panel_shown, 0);
  EXPECT_EQ(package_panel_shown, 0);
  EXPECT_FALSE(form.Picture3(1).Visible);
  EXPECT_FALSE(form.Picture3(2).Visible);
  EXPECT_FALSE(form.Label6(2).Visible);
  EXPECT_FALSE(form.Label6(3).Visible);
  EXPECT_EQ(calls, (Calls{"check_internet", "load_captions", "load_transfer_settings", "list_new_packages",
                          "list_install_packages", "list_update_packages"}));
}

TEST_F(Flow, NothingToInstallButSomethingToUpdate) {
  road.update_due = {"b.dll"};
  form.Image1(0).Click();
  run_timers(form);
  EXPECT_EQ(panels(), "header packages button2 update-heading");
  form.Picture3(2).Click();
  EXPECT_EQ(panels(), "header finish");
}

TEST_F(Flow, AnAbortedStepStopsTheChainThere) {
  road.missing_folders = {"PkgA"};
  form.steps.list_new_packages = [this] {
    calls.push_back("list_new_packages");
    throw StepAborted{"cancelled"};
  };
  form.Image1(0).Click();
  run_timers(form);
  EXPECT_EQ(calls.back(), "list_new_packages");
  EXPECT_FALSE(any_timer());
  EXPECT_EQ(panels(), "header");
}

// Panel button i is the box and its caption: a click on either does the same.
TEST(PanelButtons, BoxClickEqualsCaptionClick) {
  for (int i : {0, 1, 2, 3}) {
    SCOPED_TRACE(i);
    test::TempDir dir;
    test::RecordingHost host_box, host_caption;
    test::Road road;
    road.missing_folders = {"X"};
    Calls calls_box, calls_caption;
    QOR_sync_FRM by_box{{&host_box, make_local_file_system, dir.path()}};
    QOR_sync_FRM by_caption{{&host_caption, make_local_file_system, dir.path()}};
    install_step_doubles(by_box, road, calls_box);
    install_step_doubles(by_caption, road, calls_caption);
    for (QOR_sync_FRM* form : {&by_box, &by_caption}) {
      form->Form_Load();
      form->List2.AddItem("X");
      form->Picture1(0).Visible = true;
      form->Picture1(1).Visible = true;
    }
    by_box.Picture3(i).Click();
    by_caption.Label3(i).Click();
    EXPECT_EQ(calls_box, calls_caption);
    EXPECT_EQ(host_box.unloads, host_caption.unloads);
    for (int p : {0, 1, 2}) EXPECT_EQ(by_box.Picture1(p).Visible.get(), by_caption.Picture1(p).Visible.get());
    EXPECT_EQ(by_box.Timer3.Enabled.get(), by_caption.Timer3.Enabled.get());
    EXPECT_EQ(by_box.Timer4.Enabled.get(), by_caption.Timer4.Enabled.get());
  }
}

TEST_F(Flow, HiddenCommandButtonsRunTheirSingleSteps) {
  form.Command1.Click();
  EXPECT_TRUE(form.Timer2.Enabled);
  form.Command3.Click();
  EXPECT_EQ(shared_variables().ftp.listing_list, &form.List4);
  form.Command4.Click();
  form.List3.Click();
  EXPECT_EQ(calls, (Calls{"load_transfer_settings", "connect_ftp", "download_packages"}));
}

// The download run yields to the event loop; a click that arrives meanwhile
// must not start a second run over the same files.
TEST_F(Flow, NoSecondDownloadWhileOneIsYielding) {
  int runs = 0;
  form.steps.download_packages = [this, &runs] {
    ++runs;
    form.Label3(2).Click();
    form.Picture3(1).Click();
    form.Command4.Click();
  };
  form.Label3(1).Click();
  EXPECT_EQ(runs, 1);
  form.Label3(2).Click();  // after the run, the button works again
  EXPECT_EQ(runs, 2);
}

// A file system that counts folder creations and can refuse one path.
class CountingFileSystem : public FileSystem {
 public:
  explicit CountingFileSystem(std::unique_ptr<FileSystem> real) : real_(std::move(real)) {}
  std::vector<std::string> created;
  bool FolderExists(const std::string& p) override { return real_->FolderExists(p); }
  bool CreateFolder(const std::string& p) override {
    created.push_back(p);
    return real_->CreateFolder(p);
  }
  bool FileExists(const std::string& p) override { return real_->FileExists(p); }
  std::string GetFileVersion(const std::string& p) override { return real_->GetFileVersion(p); }
  std::optional<std::chrono::system_clock::time_point> DateLastModified(const std::string& p) override {
    return real_->DateLastModified(p);
  }

 private:
  std::unique_ptr<FileSystem> real_;
};

TEST_F(Flow, CreateMissingFoldersSkipsExistingAndGoesOnPastFailures) {
  auto counting = std::make_unique<CountingFileSystem>(make_local_file_system());
  CountingFileSystem& fs_double = *counting;
  form.file_system = std::move(counting);
  fs::create_directory(base / "Old");
  test::write_file((base / "Old" / "keep.txt").string(), "user data");
  test::write_file((base / "AFile").string(), "not a folder");
  form.List2.assign({"Old", "New1", "NoParent\\Child", "AFile", "New2\\", "Sub"});
  form.List2.AddItem("Sub\\Inner");  // its parent comes earlier in the list
  form.Picture1(0).Visible = true;

  form.Picture3(0).Click();

  EXPECT_TRUE(fs::is_directory(base / "New1"));
  EXPECT_TRUE(fs::is_directory(base / "New2"));
  EXPECT_TRUE(fs::is_directory(base / "Sub" / "Inner"));
  EXPECT_FALSE(fs::exists(base / "NoParent"));
  EXPECT_EQ(test::read_file((base / "Old" / "keep.txt").string()), "user data");
  EXPECT_EQ(test::read_file((base / "AFile").string()), "not a folder");
  for (const auto& path : fs_double.created) EXPECT_EQ(path.find("Old"), std::string::npos) << path;
  // One message per folder that could not be made, and the others went on.
  // One message names every folder that could not be created.
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("NoParent\\Child"), std::string::npos);
  EXPECT_NE(host.messages[0].text.find("AFile"), std::string::npos);
  EXPECT_EQ(host.messages[0].caption, kApplicationTitle);
  EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
  EXPECT_FALSE(form.Picture1(0).Visible);
  EXPECT_TRUE(form.Timer3.Enabled);
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
