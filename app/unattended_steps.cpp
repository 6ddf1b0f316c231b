#include "app/unattended_steps.hpp"

#include "install/install_steps.hpp"
#include "platform/shell.hpp"

namespace qor {

Steps make_unattended_steps(QOR_sync_FRM& form, const std::string& update_server, RunLog& log, FinishChoices finish,
                            const NetworkLimits& limits) {
  Steps steps = make_program_steps(form, update_server, limits);
  steps.finish = [&form, &log, finish] {
    const auto desktop = make_desktop_shell();
    UnattendedShell shell(*desktop, log, finish);
    finish_action(form, shell);
  };
  return steps;
}

}  // namespace qor
