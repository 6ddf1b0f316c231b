// The names of folders' entries by their folded form, for the look-ups of a
// name that is missing as written (program_folder_root.hpp). A folder is
// read once; the kernel then tells every entry made, removed or renamed in
// it (inotify), by this client or by anyone else, and the names are brought
// up to date from that before each look-up. So a folder the client fills
// with many new entries is never read again, and a look-up still sees what
// a fresh read of the folder would.
//
// Where the kernel cannot tell every change (a file system shared over the
// network, no inotify, too many folders watched), a folder is read again
// whenever its time stamps changed or it changed in the last seconds.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/linux/files/unique_fd.hpp"

namespace qor {

class FoldedNames {
 public:
  // At most `max_watched` folders are watched; others are read as above.
  explicit FoldedNames(std::size_t max_watched = 1024);
  FoldedNames(const FoldedNames&) = delete;
  FoldedNames& operator=(const FoldedNames&) = delete;

  // The entries of `folder` equal to `name` regardless of letter case, as
  // the folder holds them now.
  std::vector<std::string> matching(int folder, const std::string& name);

 private:
  using Key = std::pair<dev_t, ino_t>;
  struct Listing {
    timespec modified{};
    timespec changed{};
    int watch = -1;  // told of every change while >= 0
    // Each folded form and the names that have it.
    std::unordered_map<std::string, std::vector<std::string>> by_folded;
    void add(const std::string& name);
    void remove(const std::string& name);
  };

  // Applies the changes the kernel told since the last call.
  void take_in_changes();
  void forget(std::map<Key, Listing>::iterator listing);
  void forget_all();
  int watch(int folder);

  std::size_t max_watched_;
  UniqueFd changes_;  // inotify, or -1
  std::map<Key, Listing> listings_;
  std::unordered_map<int, Key> watched_;  // watch descriptor -> folder
};

}  // namespace qor
