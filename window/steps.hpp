// The step procedures that the window calls by name. Each subsystem supplies
// its own; tests put doubles in the place of the ones they do not exercise.
// An unset step does nothing (and check_internet reports offline).
#pragma once

#include <functional>
#include <string>

namespace qor {

struct Steps {
  std::function<bool()> check_internet;
  std::function<void()> load_captions;
  std::function<void()> load_transfer_settings;
  std::function<void()> connect_ftp;
  std::function<void()> list_new_packages;
  std::function<void()> list_install_packages;
  std::function<void()> list_update_packages;
  std::function<void()> check_package_due;
  std::function<void()> download_packages;
  std::function<void()> finish;  // the finish panel's action
};

// Thrown by a step that the user gave up (Cancel after a failed query): the
// step stays unfinished and the chain stops there. The window's event
// handlers catch it; nothing else does.
struct StepAborted {
  std::string reason;
};

}  // namespace qor
