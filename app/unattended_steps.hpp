// The real steps for a run without a window: the window's own, with a
// finish action whose shortcut and program start the administrator may
// leave out and whose every action is a line of the run.
#pragma once

#include <optional>
#include <string>

#include "app/wire_steps.hpp"
#include "window/unattended/run_log.hpp"
#include "window/unattended/unattended_shell.hpp"

namespace qor {

Steps make_unattended_steps(QOR_sync_FRM& form, const std::string& update_server, RunLog& log, FinishChoices finish,
                            const std::optional<crypto::PublicKey>& release_key = std::nullopt,
                            const NetworkLimits& limits = {});

}  // namespace qor
