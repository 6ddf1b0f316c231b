// A file on its way to its place on Windows: a temporary file beside the
// target (named as download_names.hpp says), flushed and moved to the
// target on commit. The running program itself is moved aside first (see
// running_executable.hpp); any other file in use makes the commit fail once,
// with the old file left whole. The folders on the way stay held open (see
// program_folder_root.hpp) until the file is committed or dropped.
#pragma once

#include <memory>

#include "platform/file_system.hpp"
#include "platform/win32/program_folder_root.hpp"

namespace qor::win32 {

// Starts replacing the entry a walk for writing found. Fails when the entry
// is the program folder itself, write-protected (the read-only attribute),
// a reparse point or no regular file, or when its name is one Windows would
// read as another (windows_names.hpp).
Result<std::unique_ptr<ReplacementFile>> start_replacement(EntryBelow entry);

}  // namespace qor::win32
