// Placement runs on Linux: the files' write-back runs side by side, one
// syncfs per file system makes them durable before the journal and the
// renames, and one more after the stamps makes the renames and the stamps
// durable. A syncfs costs one journal commit of the file system, where an
// fsync per file costs one each.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.hpp"
#include "platform/linux/files/program_folder_root.hpp"

namespace qor {

// A run in the program folder `root` (its journal goes there).
std::unique_ptr<PlacementRun> start_placement_run(const ProgramFolderRoot& root);

// Finishes a run that stopped between its renames; see FileSystem.
Status finish_interrupted_run(const ProgramFolderRoot& root);

}  // namespace qor
