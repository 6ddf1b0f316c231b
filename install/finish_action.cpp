// The finish panel's action: a desktop shortcut to the main application (in
// the applications menu where the user has no desktop), the application
// started when present, and the window closed.
#include "install/install_steps.hpp"
#include "install/package_kinds.hpp"
#include "platform/file_system.hpp"
#include "platform/shell.hpp"
#include "portable/app_title.hpp"
#include "server/package_name.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {
namespace {

constexpr const char* kShortcutName = "QOR_software_PRO";
constexpr const char* kIconFile = "QOR_Icons.dll";

std::string application_folder(const QOR_sync_FRM& form) {
  std::string folder = local_path(form.program_folder);
  if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

// The main program as a regular file inside the application folder, its
// path as it stands on disk. A name that leads out of the folder, names
// nothing, or a link or folder there is no program to link or start: a
// shortcut would point the user at a file this update never placed.
Result<std::string> main_program_file(FileSystem& file_system, const std::string& folder, const std::string& program) {
  const auto below = path_below_program_folder(program);
  if (!below) return Failure{"the main program \"" + program + "\" lies outside " + folder};
  // The user's data is never a program: it is not started, not made
  // startable, and no entry starts it.
  const std::string file = below->substr(below->find_last_of("/\\") + 1);
  if (is_user_database(file)) return Failure{"the main program \"" + program + "\" is the user's database"};
  Result<std::string> found = file_system.regular_file_inside(local_path(folder + "/" + *below));
  if (!found) return Failure{"the main program \"" + program + "\": " + found.failure().reason, found.failure().code};
  return found;
}

Result<std::string> save_desktop_shortcut(Shell& shell, const std::string& folder, const std::string& program_path) {
  Result<std::string> place = shell.desktop_folder();
  // Without a desktop the entry goes where the user still finds the
  // program, the applications menu; that is no failure to tell.
  if (!place) {
    const Result<std::string> menu = shell.menu_folder();
    if (!menu) return Failure{place.failure().reason + "; " + menu.failure().reason};
    place = menu;
  }
  return shell.save_shortcut(*place, kShortcutName, {program_path, local_path(folder + "/" + kIconFile), folder});
}

}  // namespace

void create_desktop_shortcut(QOR_sync_FRM& form, Shell& shell, const std::string& program_path) {
  const Result<std::string> saved = save_desktop_shortcut(shell, application_folder(form), program_path);
  if (saved) return;
  report_failure("desktop shortcut", saved.failure());
  form.host().MsgBox(
      std::string("Verknüpfung konnte nicht angelegt werden / Shortcut could not be created:\r\n") + kShortcutName,
      MsgButtons::OK, kApplicationTitle);
}

void finish_action(QOR_sync_FRM& form, Shell& shell) { finish_action(form, shell, {}, {}); }

void finish_action(QOR_sync_FRM& form, Shell& shell, const ProgramCheck& check, const std::string& refused_line) {
  const std::string program = form.shared().mod.main_program;
  const std::string folder = application_folder(form);
  if (const auto below = path_below_program_folder(program); below && below->empty()) {
    // No main program is named: the entry opens the application folder,
    // nothing is started, and there is nothing to tell.
    create_desktop_shortcut(form, shell, local_path(folder + "/"));
    form.host().Unload();
    return;
  }
  const Result<std::string> path = main_program_file(*form.file_system, folder, program);
  if (!path) {
    // Neither an entry to nothing nor silence: the user learns that the
    // application this update was to bring is not there.
    report_failure("main program", path.failure());
    const auto below = path_below_program_folder(program);
    const std::string expected = below ? display_path(folder + "/" + *below) : program;
    form.host().MsgBox("Hauptprogramm nicht gefunden / Main program not found:\r\n" + expected, MsgButtons::OK,
                       kApplicationTitle);
    form.host().Unload();
    return;
  }
  if (check) {
    if (const Status vouched = check(*path); !vouched) {
      // Neither started nor offered on the desktop: it is not the program
      // the vendor signed.
      report_failure("main program", vouched.failure());
      form.host().MsgBox(refused_line + "\r\n" + display_path(*path), MsgButtons::OK, kApplicationTitle);
      form.host().Unload();
      return;
    }
  }
  create_desktop_shortcut(form, shell, *path);

  Status started = form.file_system->make_startable(*path);
  if (started) started = shell.start_program(*path, folder);
  if (!started) {
    report_failure("start the main program", started.failure());
    form.host().MsgBox(
        "Programm konnte nicht gestartet werden / Program could not be started:\r\n" + display_path(*path),
        MsgButtons::OK, kApplicationTitle);
  }
  form.host().Unload();
}

}  // namespace qor
