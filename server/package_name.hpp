// Whether a name from the server (a package folder, a "pa=" sub-path, the
// main program) names a place below the program folder. The server is not
// trusted to keep its names inside it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qor {

// The name as a path relative to the program folder, "\" read as "/" and
// leading separators dropped: the folder and "\Bilder" joined are a path
// inside it. None for a name with a NUL byte (which the file system would
// cut), a drive letter ("C:") or a ".." component.
std::optional<std::string> path_below_program_folder(std::string_view name);

inline bool stays_inside_program_folder(std::string_view name) { return path_below_program_folder(name).has_value(); }

}  // namespace qor
