// Start-up, the language choice, the panel buttons and the hidden command
// buttons: which step runs when, and what is shown between the steps.
#include <chrono>
#include <string>
#include <utility>

#include "portable/app_title.hpp"
#include "portable/text/control_characters.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {

QOR_sync_FRM::QOR_sync_FRM(FormServices services) : services_(std::move(services)) {
  build_control_set();
  connect_events();
}

void QOR_sync_FRM::connect_events() {
  Image1.for_each([this](Image& img) {
    const int i = img.Index();
    img.on_click = [this, i] { Image1_Click(i); };
    img.on_mouse_move = [this, i] { Image1_MouseMove(i); };
  });
  Label3.for_each([this](Label& lbl) {
    const int i = lbl.Index();
    lbl.on_click = [this, i] { Label3_Click(i); };
    lbl.on_mouse_move = [this, i] { Label3_MouseMove(i); };
  });
  Picture3.for_each([this](PictureBox& box) {
    const int i = box.Index();
    box.on_click = [this, i] { Picture3_Click(i); };
    box.on_mouse_move = [this, i] { Picture3_MouseMove(i); };
  });
  Picture1.for_each([this](PictureBox& box) {
    const int i = box.Index();
    box.on_mouse_move = [this, i] { Picture1_MouseMove(i); };
  });
  List3.on_click = [this] { List3_Click(); };
  Command1.on_click = [this] { Command1_Click(); };
  Command3.on_click = [this] { Command3_Click(); };
  Command4.on_click = [this] { Command4_Click(); };
  Timer1.on_timer = [this] { Timer1_Timer(); };
  Timer2.on_timer = [this] { Timer2_Timer(); };
  Timer3.on_timer = [this] { Timer3_Timer(); };
  Timer4.on_timer = [this] { Timer4_Timer(); };
}

void QOR_sync_FRM::run_step(const std::function<void()>& step) {
  // Once the user has closed the window, a timer that still ticks or a step
  // that was chained before starts nothing more.
  if (!step || host().closed()) return;
  try {
    step();
  } catch (const StepAborted&) {
    // The user gave up a failed query: the step stays unfinished and no
    // timer carries the chain on. The window stays open.
  }
}

void QOR_sync_FRM::Form_Load() {
  Form.Caption = "QOR synchro center";
  Label7(5).Caption = "QOR synchro center";
  Label7(6).Caption = "Sprache wählen / Choose language";
  Label7(7).Caption = "FEHLER: keine Internetverbindung\r\nERROR: no internet connection";
  file_system = services_.make_file_system(services_.executable_folder);
  program_folder = services_.executable_folder + "\\";
  // A run stopped between its renames is finished before anything reads
  // the folder. (A window made without a file system, as in tests of its
  // looks, has nothing to finish.)
  if (!file_system) return;
  if (const Status finished = file_system->finish_interrupted_run(); !finished)
    report_failure("interrupted download run", finished.failure());
}

void QOR_sync_FRM::Image1_Click(int Index) {
  // The check and the captions wait on the server while the window answers:
  // a flag clicked meanwhile starts no second check inside the first.
  if (language_choice_in_progress_) return;
  language_choice_in_progress_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{language_choice_in_progress_};
  shared().mod.language = Image1(Index).Tag;
  const bool online = steps.check_internet && steps.check_internet();
  if (online) {
    run_step(steps.load_captions);
  } else {
    Label7(7).Visible = true;
  }
}

void QOR_sync_FRM::Label3_Click(int Index) {
  switch (Index) {
    case 0:
      create_missing_folders();
      break;
    case 1:
      if (download_in_progress_) return;
      run_download_packages();
      Timer4.Enabled = true;
      break;
    case 2:
      if (download_in_progress_) return;
      run_download_packages();
      Picture1(2).Visible = true;
      Picture1(1).Visible = false;
      break;
    case 3:
      if (download_in_progress_) return;
      run_step(steps.finish);
      break;
    default:
      break;
  }
}

void QOR_sync_FRM::Picture3_Click(int Index) { Label3_Click(Index); }

void QOR_sync_FRM::Command1_Click() { run_step(steps.load_transfer_settings); }

void QOR_sync_FRM::Command3_Click() {
  shared().ftp.listing_list = &List4;
  run_step(steps.connect_ftp);
}

void QOR_sync_FRM::Command4_Click() {
  if (download_in_progress_) return;
  run_download_packages();
}

void QOR_sync_FRM::List3_Click() {}

void QOR_sync_FRM::run_download_packages() {
  download_in_progress_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{download_in_progress_};
  run_step(steps.download_packages);
}

void QOR_sync_FRM::create_missing_folders() {
  // Events handled while the step yields may click the panel again.
  if (folder_step_running_) return;
  folder_step_running_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{folder_step_running_};

  // Failures are gathered into one message: a long list of bad names must
  // not become a long row of message boxes.
  constexpr int kNamedFailures = 10;
  // A long list of folders must not freeze the window: it yields after so
  // many folders, or sooner on a slow disk.
  constexpr int kFoldersPerYield = 64;
  constexpr auto kYieldInterval = std::chrono::milliseconds(25);
  std::string failed;
  int failures = 0;
  auto last_yield = std::chrono::steady_clock::now();
  for (int i = 0; i < List2.ListCount(); ++i) {
    if (i > 0 && (i % kFoldersPerYield == 0 || std::chrono::steady_clock::now() - last_yield >= kYieldInterval)) {
      host().DoEvents();
      last_yield = std::chrono::steady_clock::now();
      // The user who closed the window has left: nothing more is made,
      // told or started.
      if (host().closed()) return;
      if (i >= List2.ListCount()) break;
    }
    const std::string path = program_folder + List2.List(i);
    // A line break in a name would reach the desktop entry and the user's
    // messages as a line of its own: such a folder is refused, never made.
    const bool refused = holds_control_character(List2.List(i));
    if (!refused && file_system->FolderExists(path)) continue;
    const Status created = refused
                               ? Status{Failure{"the folder name \"" + List2.List(i) + "\" holds a control character"}}
                               : file_system->CreateFolder(path);
    if (!created) {
      report_failure("package folder", created.failure());
      if (++failures <= kNamedFailures) failed += "\r\n" + display_path(path);
    }
  }
  if (failures > kNamedFailures) {
    failed += "\r\n(+" + std::to_string(failures - kNamedFailures) + ")";
  }
  if (failures > 0) {
    host().MsgBox("Ordner konnte nicht angelegt werden / Folder could not be created:" + failed, MsgButtons::OK,
                  kApplicationTitle);
  }
  Picture1(0).Visible = false;
  Timer3.Enabled = true;
}

void QOR_sync_FRM::Timer1_Timer() {
  Timer1.Enabled = false;
  run_step(steps.load_transfer_settings);
}

void QOR_sync_FRM::Timer2_Timer() {
  Timer2.Enabled = false;
  run_step(steps.list_new_packages);
}

void QOR_sync_FRM::Timer3_Timer() {
  Timer3.Enabled = false;
  run_step(steps.list_install_packages);
}

void QOR_sync_FRM::Timer4_Timer() {
  Timer4.Enabled = false;
  run_step(steps.list_update_packages);
}

}  // namespace qor
