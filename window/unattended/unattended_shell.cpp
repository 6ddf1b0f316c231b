#include "window/unattended/unattended_shell.hpp"

namespace qor {

Result<std::string> UnattendedShell::save_shortcut(const std::string& folder, const std::string& name,
                                                   const ShortcutProperties& properties) {
  if (!choices_.shortcut) {
    log_.line("shortcut: left out (--no-shortcut)");
    return std::string();
  }
  Result<std::string> saved = shell_.save_shortcut(folder, name, properties);
  log_.line(saved ? "shortcut: " + *saved : "shortcut failed: " + saved.failure().reason);
  return saved;
}

Status UnattendedShell::start_program(const std::string& program, const std::string& working_folder) {
  if (!choices_.start) {
    log_.line("start: left out (--no-start): " + program);
    return {};
  }
  Status started = shell_.start_program(program, working_folder);
  log_.line(started ? "started: " + program : "start failed: " + program + ": " + started.failure().reason);
  return started;
}

}  // namespace qor
