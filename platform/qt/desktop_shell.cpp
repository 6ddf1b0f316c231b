// The shell of a Linux desktop session: the XDG desktop folder, a desktop
// entry as the shortcut, and a detached program start.
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include "desktop_entry.hpp"
#include "replacement_file.hpp"
#include "shell.hpp"

namespace qor {
namespace {

class DesktopShell final : public Shell {
 public:
  Result<std::string> desktop_folder() override {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    while (folder.size() > 1 && folder.endsWith(u'/')) folder.chop(1);
    if (folder.isEmpty()) return Failure{"the session names no desktop folder"};
    return folder.toStdString();
  }

  // Executable, so that desktops trust the entry.
  Result<std::string> save_shortcut(const std::string& folder, const std::string& name,
                                    const ShortcutProperties& properties) override {
    const std::string path = folder + "/" + name + ".desktop";
    Status saved = replace_with_content(path, desktop_entry_text(name, properties), 0755);
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
