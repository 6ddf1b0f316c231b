// Test doubles for the window tests of the Win32 toolkit: a host that
// records message boxes, step doubles that end with the control changes the
// real steps end with, and a walker that lets the enabled timers tick.
#pragma once

#include <string>
#include <vector>

#include "QOR_sync_FRM.hpp"

namespace qor::test {

class RecordingHost : public FormHost {
 public:
  struct Message {
    std::string text;
    MsgButtons buttons;
    std::string caption;
  };
  std::vector<Message> messages;
  int unloads = 0;
  int yields = 0;
  MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) override {
    messages.push_back({text, buttons, caption});
    return buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Cancel;
  }
  void DoEvents() override { ++yields; }
  void Unload() override { ++unloads; }
};

// What the server would answer in one run.
struct Road {
  bool online = true;
  std::vector<std::string> missing_folders;
  std::vector<std::string> install_due;
  std::vector<std::string> update_due;
};

// Fills form.steps with doubles that log their name to `calls` and end with
// the closing control changes of the real steps.
inline void install_step_doubles(QOR_sync_FRM& form, const Road& road, std::vector<std::string>& calls) {
  Steps& s = form.steps;
  s.check_internet = [&road, &calls] {
    calls.emplace_back("check_internet");
    return road.online;
  };
  s.load_captions = [&form, &calls] {
    calls.emplace_back("load_captions");
    form.apply_colours();
    form.Picture30.Visible = true;
    form.Picture1(9).Visible = false;
    form.Timer1.Enabled = true;
  };
  s.load_transfer_settings = [&form, &calls] {
    calls.emplace_back("load_transfer_settings");
    form.Timer2.Enabled = true;
  };
  s.connect_ftp = [&calls] { calls.emplace_back("connect_ftp"); };
  s.list_new_packages = [&form, &road, &calls] {
    calls.emplace_back("list_new_packages");
    form.List2.Clear();
    for (const auto& folder : road.missing_folders) form.List2.AddItem(folder);
    if (form.List2.ListCount() > 0) {
      form.Picture1(0).Visible = true;
    } else {
      form.Timer3.Enabled = true;
    }
  };
  const auto package_list = [&form](const std::vector<std::string>& due, bool install) {
    form.List3.Clear();
    for (const auto& file : due) form.List3.AddItem(file);
    if (form.List3.ListCount() == 0) {
      if (install) {
        form.Picture3(1).Visible = false;
        form.Picture3(2).Visible = false;
        form.Label6(2).Visible = false;
        form.Label6(3).Visible = false;
        form.Timer4.Enabled = true;
      } else {
        form.Picture1(1).Visible = false;
        form.Picture1(2).Visible = true;
      }
      return;
    }
    form.Picture3(1).Visible = install;
    form.Picture3(2).Visible = !install;
    form.Label6(2).Visible = install;
    form.Label6(3).Visible = !install;
    form.Picture1(1).Visible = true;
  };
  s.list_install_packages = [&road, &calls, package_list] {
    calls.emplace_back("list_install_packages");
    package_list(road.install_due, true);
  };
  s.list_update_packages = [&road, &calls, package_list] {
    calls.emplace_back("list_update_packages");
    package_list(road.update_due, false);
  };
  s.download_packages = [&calls] { calls.emplace_back("download_packages"); };
  s.finish = [&form, &calls] {
    calls.emplace_back("finish");
    form.host().Unload();
  };
}

// Lets every enabled timer tick, in timer order, until none is enabled: the
// event loop's part in the chain, without waiting 100 ms per step.
inline void run_timers(QOR_sync_FRM& form) {
  for (int guard = 0; guard < 100; ++guard) {
    bool ticked = false;
    for (Timer* timer : {&form.Timer1, &form.Timer2, &form.Timer3, &form.Timer4}) {
      if (timer->Enabled) {
        timer->Tick();
        ticked = true;
      }
    }
    if (!ticked) return;
  }
}

}  // namespace qor::test
