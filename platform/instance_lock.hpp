// One client at a time in a program folder: two scheduled runs, or a user
// who starts the window while a scheduled run works, would download into
// the same files and each replace what the other just placed. The first
// takes the folder's lock and holds it for its life; a second is refused.
#pragma once

#include <memory>
#include <string>

#include "portable/result/result.hpp"

namespace qor {

// Held while it lives; the lock is given up when it goes, and with the
// process however it ends (the system releases it on a crash, too).
class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
};

// The failure code of lock_program_folder when another process (or another
// lock of this one) holds the folder.
inline constexpr long kFolderLocked = -7007;

// Takes the lock of `program_folder` (no trailing separator) without
// waiting. A folder another holds fails with kFolderLocked; any other
// failure (no folder named, the folder cannot be opened, the system
// refuses) carries the platform's reason and code. Leaves the folder's files as they were once
// given up.
Result<std::unique_ptr<InstanceLock>> lock_program_folder(const std::string& program_folder);

// The folder of the running program's executable, without a trailing
// separator: the program folder, known before any window exists. Empty
// when the system does not say.
std::string running_program_folder();

}  // namespace qor
