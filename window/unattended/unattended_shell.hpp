// The desktop shell of an unattended run: the finish action's shortcut and
// program start, each left out when the administrator asked so
// (--no-shortcut, --no-start), and each told as a line of the run.
#pragma once

#include "platform/shell.hpp"
#include "window/unattended/run_log.hpp"

namespace qor {

struct FinishChoices {
  bool shortcut = true;
  bool start = true;
};

class UnattendedShell : public Shell {
 public:
  UnattendedShell(Shell& shell, RunLog& log, FinishChoices choices) : shell_(shell), log_(log), choices_(choices) {}

  Result<std::string> desktop_folder() override { return shell_.desktop_folder(); }
  Result<std::string> menu_folder() override { return shell_.menu_folder(); }
  Result<std::string> save_shortcut(const std::string& folder, const std::string& name,
                                    const ShortcutProperties& properties) override;
  Status start_program(const std::string& program, const std::string& working_folder) override;

 private:
  Shell& shell_;
  RunLog& log_;
  FinishChoices choices_;
};

}  // namespace qor
