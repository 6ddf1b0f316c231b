// Paths below the program folder on Windows, walked one name at a time from
// the folder. No reparse point below the folder (a junction, a symbolic
// link, a mount point) is followed: a part that is one ends the walk, so a
// link placed inside cannot lead a write elsewhere; the folder itself may be
// reached through one. Names match regardless of letter case as the file
// system matches them, and each part is taken in the spelling it has on
// disk. A walk for writing holds every folder on the way open without
// letting it be renamed or deleted, so that none can be swapped for a
// reparse point while the entry is used.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "portable/result/result.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {

// The code of a walk that met a reparse point ("the name of the file cannot
// be resolved by the system", as a link loop is on other systems).
inline constexpr DWORD kReparsePointInTheWay = ERROR_CANT_RESOLVE_FILENAME;

// One entry below the program folder, found by a walk.
struct EntryBelow {
  std::vector<UniqueHandle> held;  // the folders on the way (a walk for writing)
  std::string folder;              // the full path of the folder that holds the entry
  std::string name;                // the entry's name as on disk; empty for the program folder itself
  std::string path;                // the full path as on disk ('/' separated), for reasons and callers
  bool exists = false;             // whether the entry was there at the walk
  DWORD attributes = 0;            // what it was (a reparse point itself, not what it names)

  bool is_reparse_point() const { return exists && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
  bool is_folder() const { return exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !is_reparse_point(); }
  bool is_file() const {
    return exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0 && !is_reparse_point();
  }
};

// What a name is on disk, looked at without following it.
struct LookedAt {
  bool exists = false;
  std::string name;  // the spelling on disk
  DWORD attributes = 0;
  DWORD error = 0;  // why it could not be looked at, when it is missing
};
LookedAt look_at(const std::string& folder, const std::string& name);

// Opens a folder itself, not what a reparse point there names, and fails
// when it is a reparse point or no folder. While the handle lives, others may
// read and write in the folder, but not rename or delete it.
Result<UniqueHandle> hold_folder(const std::string& path);

// The path the file of an open handle really has ('/' separated, without the
// "\\?\" prefix); none when the system cannot tell.
std::optional<std::string> final_path_of(HANDLE handle);

// "<path>: a reparse point (junction or symbolic link) is in the way"
Failure reparse_point_in_the_way(const std::string& path);

class ProgramFolderRoot {
 public:
  explicit ProgramFolderRoot(const std::string& program_folder);

  // The part of a local path ('/' separated) below the folder ("" for the
  // folder itself), or none when the path lies outside it.
  std::optional<std::string> below(const std::string& local) const;

  // Walks `relative` ("/" separated; empty and "." parts skipped): every
  // folder on the way must be a real folder, not a reparse point; ".." is
  // refused, as are names no Windows file can have. The last name need not
  // exist. `hold` keeps the folders on the way open (EntryBelow::held).
  Result<EntryBelow> walk(const std::string& relative, bool hold) const;

  // Fails when the file open as `handle` is not the entry at `path` (a path
  // below the folder, as a walk gives it) but one a link leads to. Some
  // systems show a symbolic link to a file as that file itself, without a
  // reparse point (Wine does): only the open file tells where it lies.
  Status check_is_at(HANDLE handle, const std::string& path) const;
  // The same for the existing entry a walk found, opened without following it.
  Status check_entry(const EntryBelow& entry) const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::optional<std::string> resolved_;  // where the folder really is
};

}  // namespace qor::win32
