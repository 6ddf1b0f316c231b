// Making a fetched program startable on this platform.
#pragma once

#include <string>

namespace qor {

// Adds execute permission wherever read permission is granted (owner,
// group, others). False when the file is missing or its bits cannot change.
bool make_executable(const std::string& path);

}  // namespace qor
