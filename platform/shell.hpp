// The desktop services the finish action needs: where the user's desktop is
// (or, without one, the applications menu), a shortcut written there, a
// program started.
#pragma once

#include <memory>
#include <string>

#include "portable/result/result.hpp"

namespace qor {

struct ShortcutProperties {
  std::string target;             // the program the shortcut starts; a folder (ending in a separator) it opens
  std::string icon_location;      // the file holding its icon (a library with an icon resource)
  std::string working_directory;  // where it starts
};

class Shell {
 public:
  virtual ~Shell() = default;
  // The user's desktop folder, no trailing separator. A failure, with the
  // reason, when the user has none: the session names none, the user's
  // folder settings turn it off, or the folder does not exist.
  virtual Result<std::string> desktop_folder() = 0;
  // The folder of the user's applications menu, no trailing separator,
  // created when missing: where the shortcut goes when the user has no
  // desktop folder.
  virtual Result<std::string> menu_folder() = 0;
  // Writes the shortcut `name` (the platform adds its own extension) into
  // `folder`, replacing an earlier one in one step; the path written. The
  // shortcut shows the icon of icon_location as the platform's desktops can
  // show it best; an icon file that holds no icon stays as it is named.
  virtual Result<std::string> save_shortcut(const std::string& folder, const std::string& name,
                                            const ShortcutProperties& properties) = 0;
  // Starts a program in `working_folder`, maximized with focus where the
  // platform knows window states, without waiting for it.
  virtual Status start_program(const std::string& program, const std::string& working_folder) = 0;
};

// The shell of this session.
std::unique_ptr<Shell> make_desktop_shell();

}  // namespace qor
