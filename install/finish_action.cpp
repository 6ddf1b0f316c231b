// The finish panel's action: a desktop shortcut to the main application,
// the application started when present, and the window closed.
#include "QOR_sync_FRM.hpp"
#include "app_title.hpp"
#include "file_system.hpp"
#include "install_steps.hpp"
#include "package_place.hpp"
#include "shell.hpp"

namespace qor {
namespace {

constexpr const char* kShortcutName = "QOR_software_PRO";
constexpr const char* kIconFile = "QOR_Icons.dll";

std::string application_folder(const QOR_sync_FRM& form) {
  std::string folder = local_path(form.program_folder);
  if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

Result<std::string> save_desktop_shortcut(Shell& shell, const std::string& folder, const std::string& program) {
  // A program name that leads out of the application folder gets no
  // shortcut: it would point the user at a file this update never placed.
  if (!stays_inside(program)) return Failure{"the main program \"" + program + "\" lies outside " + folder};
  const Result<std::string> desktop = shell.desktop_folder();
  if (!desktop) return desktop.failure();
  return shell.save_shortcut(*desktop, kShortcutName,
                             {local_path(folder + "/" + program), local_path(folder + "/" + kIconFile), folder});
}

}  // namespace

void create_desktop_shortcut(QOR_sync_FRM& form, Shell& shell, const std::string& program) {
  const Result<std::string> saved = save_desktop_shortcut(shell, application_folder(form), program);
  if (saved) return;
  report_failure("desktop shortcut", saved.failure());
  form.host().MsgBox(
      std::string("Verknüpfung konnte nicht angelegt werden / Shortcut could not be created:\r\n") + kShortcutName,
      MsgButtons::OK, kApplicationTitle);
}

void finish_action(QOR_sync_FRM& form, Shell& shell) {
  const std::string program = form.shared().mod.main_program;
  create_desktop_shortcut(form, shell, program);

  const std::string folder = application_folder(form);
  const std::string path = local_path(folder + "/" + program);
  if (stays_inside(program) && form.file_system->FileExists(path)) {
    Status started = form.file_system->make_startable(path);
    if (started) started = shell.start_program(path, folder);
    if (!started) {
      report_failure("start the main program", started.failure());
      form.host().MsgBox("Programm konnte nicht gestartet werden / Program could not be started:\r\n" + path,
                         MsgButtons::OK, kApplicationTitle);
    }
  }
  form.host().Unload();
}

}  // namespace qor
