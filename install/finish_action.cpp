// The finish panel's action: a desktop shortcut to the main application,
// the application started when present, and the window closed.
#include "QOR_sync_FRM.hpp"
#include "app_title.hpp"
#include "desktop_entry.hpp"
#include "executable.hpp"
#include "file_system.hpp"
#include "install_steps.hpp"
#include "package_place.hpp"
#include "shell.hpp"

namespace qor {
namespace {

std::string application_folder(const QOR_sync_FRM& form) {
  std::string folder = local_path(form.program_folder);
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

void create_desktop_shortcut(QOR_sync_FRM& form, Shell& shell, const std::string& program) {
  const std::string desktop = shell.desktop_folder();
  const std::string shortcut = desktop + "/" + kShortcutName + ".desktop";
  const std::string folder = application_folder(form);
  // A program name that leads out of the application folder gets no
  // shortcut: it would point the user at a file this update never placed.
  const bool written = !desktop.empty() && stays_inside(program) &&
                       shell.write_file(shortcut, desktop_entry_text(folder + "/" + local_path(program), folder), 0755);
  if (!written) {
    form.host().MsgBox("Verknüpfung konnte nicht angelegt werden / Shortcut could not be created:\r\n" + shortcut,
                       MsgButtons::OK, kApplicationTitle);
  }
}

void finish_action(QOR_sync_FRM& form, Shell& shell) {
  const std::string program = form.shared().mod.main_program;
  create_desktop_shortcut(form, shell, program);

  const std::string folder = application_folder(form);
  const std::string path = folder + "/" + local_path(program);
  if (stays_inside(program) && form.file_system->FileExists(path)) {
    make_executable(path);
    if (!shell.start_detached(path, folder)) {
      form.host().MsgBox("Programm konnte nicht gestartet werden / Program could not be started:\r\n" + path,
                         MsgButtons::OK, kApplicationTitle);
    }
  }
  form.host().Unload();
}

}  // namespace qor
