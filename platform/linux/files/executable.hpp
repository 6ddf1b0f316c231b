// Making a fetched program startable on this platform.
#pragma once

#include <string>

#include "portable/result/result.hpp"

namespace qor {

// Adds execute permission wherever read permission is granted (owner,
// group, others) to the regular file `name` of the open `folder`; a link
// there is refused, never followed. `shown` is the full path for reasons.
Status make_executable_at(int folder, const std::string& name, const std::string& shown);

}  // namespace qor
