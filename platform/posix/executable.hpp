// Making a fetched program startable on this platform.
#pragma once

#include <string>

#include "result.hpp"

namespace qor {

// Adds execute permission wherever read permission is granted (owner,
// group, others).
Status make_executable(const std::string& path);

}  // namespace qor
