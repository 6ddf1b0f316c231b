// Whether a new-package name from the server names a folder below the
// program folder. The server is not trusted to keep its names inside it.
#pragma once

#include <string_view>

namespace qor {

// False for an absolute name, a name with a ".." component (after "\" is
// read as "/") and a name holding a NUL byte, which the file system would cut.
bool stays_inside_program_folder(std::string_view name);

}  // namespace qor
