// A file on its way to its place on Windows: a temporary file beside the
// target, flushed and moved over the target on commit. The running program
// itself is moved aside first (see running_executable.hpp); any other file
// in use makes the commit fail once, with the old file left whole.
#pragma once

#include <memory>
#include <string>

#include "file_system.hpp"

namespace qor::win32 {

// Fails when the folder is missing, the target is write-protected (the
// read-only attribute), no regular file, or a name Windows would read as
// another (windows_names.hpp).
Result<std::unique_ptr<ReplacementFile>> start_replacement(const std::string& path);

}  // namespace qor::win32
