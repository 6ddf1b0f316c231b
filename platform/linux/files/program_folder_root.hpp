// Paths below the program folder, walked from an open descriptor of that
// folder one name at a time. No symbolic link below the folder is followed,
// so a link placed inside cannot lead a write elsewhere; the folder itself
// may be reached through one. A name missing as written is matched against
// the folder's entries regardless of letter case, as the servers' own
// platform would find it.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/files/folded_names.hpp"
#include "platform/linux/files/unique_fd.hpp"
#include "portable/result/result.hpp"

namespace qor {

// One entry below the program folder, found by a walk.
struct EntryBelow {
  UniqueFd folder;      // the folder that holds the entry (opened O_PATH), or the program folder itself
  std::string name;     // the entry's name in that folder as it is on disk; empty for the program folder itself
  std::string path;     // the full path as it is on disk, for reasons and callers
  bool exists = false;  // whether the entry was there at the walk, and then
  struct stat st {};    // what it was (a link itself, not what it names)
};

class ProgramFolderRoot {
 public:
  // Opens the folder now; a folder that cannot be opened fails every walk
  // with the reason.
  explicit ProgramFolderRoot(const std::string& program_folder);

  // The part of a local path below the folder ("" for the folder itself),
  // or none when the path lies outside it.
  std::optional<std::string> below(const std::string& local) const;

  // Walks `relative` ("/" separated; empty and "." parts skipped): every
  // folder on the way must be a real folder, not a link; ".." is refused.
  // The last name need not exist. Each name is the entry of that name, else
  // the one entry equal to it regardless of case, else the name as written.
  // The empty path is the program folder itself (an empty name).
  Result<EntryBelow> walk(const std::string& relative) const;

  const std::string& path() const { return path_; }
  // An open descriptor of the folder itself (O_PATH), or -1.
  int fd() const { return fd_.get(); }
  // The names the walk looks up, shared with the files it places.
  const std::shared_ptr<FoldedNames>& names() const { return names_; }

 private:
  std::string path_;
  UniqueFd fd_;
  int open_error_ = 0;
  std::shared_ptr<FoldedNames> names_ = std::make_shared<FoldedNames>();
};

// The entries of `folder` equal to `name` regardless of letter case
// (Unicode simple case folding), in the order the folder lists them, read
// now; every entry for the empty name.
std::vector<std::string> entries_matching(int folder, const std::string& name);

// True when `folder` has an entry of that name or one equal to it
// regardless of case: a place that is taken. The folder is read now, or its
// names are taken from `names`.
bool place_taken(int folder, const std::string& name);
bool place_taken(int folder, const std::string& name, FoldedNames& names);

// Opens the folder itself for reading (listing it, flushing it).
UniqueFd open_for_listing(int folder);

}  // namespace qor
