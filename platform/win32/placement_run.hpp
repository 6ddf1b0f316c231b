// Placement runs on Windows. Windows gives a program without administrator
// rights no flush of many files at once (a flush of the whole volume needs
// them), so the run flushes each file with FlushFileBuffers, all before the
// journal and the first rename; what it saves is the flush of the folders,
// done once per folder when the run settles.
#pragma once

#include <memory>

#include "platform/file_system.hpp"
#include "platform/win32/program_folder_root.hpp"

namespace qor::win32 {

// A run in the program folder `root` (its journal goes there).
std::unique_ptr<PlacementRun> start_placement_run(const ProgramFolderRoot& root);

// Finishes a run that stopped between its renames; see FileSystem.
Status finish_interrupted_run(const ProgramFolderRoot& root);

}  // namespace qor::win32
