// The shell of a Linux desktop session: the XDG desktop folder, else the
// applications menu folder of the XDG data home, a desktop entry as the
// shortcut, and a detached program start.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include "platform/linux/desktop/desktop_entry.hpp"
#include "platform/linux/desktop/desktop_icon.hpp"
#include "platform/linux/files/replacement_file.hpp"
#include "platform/shell.hpp"

namespace qor {
namespace {

QString without_trailing_separator(QString folder) {
  while (folder.size() > 1 && folder.endsWith(u'/')) folder.chop(1);
  return folder;
}

class DesktopShell final : public Shell {
 public:
  // The user's folder settings turn the desktop off by naming the home
  // folder for it, and the session names $HOME/Desktop even where that
  // does not exist: neither is a desktop.
  Result<std::string> desktop_folder() override {
    const QString folder =
        without_trailing_separator(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    const QString home = without_trailing_separator(QDir::homePath());
    if (folder.isEmpty() || folder == home || !QFileInfo(folder).isDir())
      return Failure{"the user has no desktop folder" + (folder.isEmpty() ? "" : " (" + folder.toStdString() + ")")};
    return folder.toStdString();
  }

  Result<std::string> menu_folder() override {
    const QString folder =
        without_trailing_separator(QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation));
    if (folder.isEmpty()) return Failure{"the session names no applications folder"};
    if (!QDir().mkpath(folder)) return Failure{"create " + folder.toStdString() + ": the folder cannot be created"};
    return folder.toStdString();
  }

  // Executable, so that desktops trust the entry. The icon library's icon is
  // shown from a PNG made of it, where the library holds one.
  Result<std::string> save_shortcut(const std::string& folder, const std::string& name,
                                    const ShortcutProperties& properties) override {
    const std::string path = folder + "/" + name + ".desktop";
    ShortcutProperties shown = properties;
    shown.icon_location = desktop_icon(properties.icon_location, name);
    Status saved = replace_with_content(path, desktop_entry_text(name, shown), 0755);
    if (!saved) return saved.failure();
    return path;
  }

  // This desktop has no "maximized" start: the program opens as it will.
  Status start_program(const std::string& program, const std::string& working_folder) override {
    if (QProcess::startDetached(QString::fromStdString(program), {}, QString::fromStdString(working_folder))) return {};
    return Failure{"start " + program + ": the program could not be started"};
  }
};

}  // namespace

std::unique_ptr<Shell> make_desktop_shell() { return std::make_unique<DesktopShell>(); }

}  // namespace qor
