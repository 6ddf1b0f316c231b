// The desktop services the finish action needs: where the user's desktop
// is, writing a file there, starting a program.
#pragma once

#include <memory>
#include <string>

namespace qor {

class Shell {
 public:
  virtual ~Shell() = default;
  // The user's desktop folder, no trailing "/"; empty when there is none.
  virtual std::string desktop_folder() = 0;
  // Replaces `path` in one step (a temporary file renamed over it) and gives
  // it `mode`. False on any failure; an earlier file then stays untouched.
  virtual bool write_file(const std::string& path, const std::string& content, unsigned mode) = 0;
  // Starts a program in `working_folder` without waiting for it.
  virtual bool start_detached(const std::string& program, const std::string& working_folder) = 0;
};

// The desktop of this session (XDG user dirs) and real process starts.
std::unique_ptr<Shell> make_desktop_shell();

}  // namespace qor
