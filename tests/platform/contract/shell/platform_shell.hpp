// What the shell suite needs from the system it runs on, beside the
// interface under test: a session whose desktop setting a case may change,
// a shortcut read back as the platform's own desktops read it, a program
// that notes how it was started, and the platform's spelling of paths. One
// implementation per platform: linux_shell.cpp, win32_shell.cpp.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace qor::test {

// The session of one case. Linux: a home folder of its own, with a Desktop
// folder in it. Windows: the user's session; the desktop setting comes back
// after the case.
class ShellSession {
 public:
  ShellSession();
  ShellSession(const ShellSession&) = delete;
  ShellSession& operator=(const ShellSession&) = delete;
  ~ShellSession();
  // Names `folder` as the user's desktop folder in the user's folder
  // settings (XDG user-dirs, or the shell folders of the registry).
  bool name_desktop(const std::string& folder);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A test path as the shell writes and returns paths.
std::string shell_path(const std::string& path);

// The path for std::filesystem calls, its UTF-8 kept.
std::filesystem::path native(const std::string& path);

// The file name the platform gives the shortcut `name`.
std::string shortcut_file_name(const std::string& name);

// A shortcut as the platform's desktops read it.
struct ShortcutContent {
  std::string target;
  std::optional<std::string> working_folder;  // none where the shortcut keeps no working folder
  std::string icon;
  std::optional<int> icon_index;  // where the shortcut names an icon in a file of several
};
ShortcutContent read_shortcut(const std::string& path);

// True when `folder` is where the platform keeps the applications menu of
// the case's session.
bool is_menu_folder(const std::string& folder);

// Moves a folder aside for one scope and puts it back after, removing what
// stands in its place then.
class FolderAside {
 public:
  explicit FolderAside(std::string folder);
  FolderAside(const FolderAside&) = delete;
  FolderAside& operator=(const FolderAside&) = delete;
  ~FolderAside();
  bool moved() const { return moved_; }

 private:
  std::string folder_;
  bool moved_ = false;
};

// Writes a program at `path_without_extension` (the platform adds its
// extension) that on start notes the folder it runs in ("folder=...\n") and,
// where the platform knows window states, the state it was asked to show in,
// in "<its path>.note"; the program's path.
std::string noting_program(const std::string& path_without_extension);

// The note line of a program started maximized, where the platform knows
// window states.
std::optional<std::string> maximized_note_line();

// The code a failure to start a missing program carries, where the platform
// gives one.
std::optional<long> missing_program_code();

}  // namespace qor::test
