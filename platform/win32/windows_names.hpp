// Paths that Windows would not take as written. It drops a trailing dot or
// space from a name, reads "name:stream" as a stream of another file, and
// opens a device for CON, NUL, COM1 and the like in any folder: a file the
// server names that way would land somewhere other than its name says (a
// protected user database under a name that differs by a final dot).
#pragma once

#include <optional>
#include <string>

namespace qor::win32 {

// The first component of the path Windows would read otherwise, or none.
// A drive ("C:") or UNC prefix is no component.
std::optional<std::string> aliased_component(const std::string& path);

}  // namespace qor::win32
