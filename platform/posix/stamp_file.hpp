// Setting a file's last-write time on a POSIX system.
#pragma once

#include <string>

#include "find_data.hpp"
#include "result.hpp"

namespace qor {

// Only the last-write time changes (to `utc`, whole seconds). A read-only
// file (no owner write bit) gets that bit for the moment of stamping and its
// exact bits back afterwards, also when the stamping fails.
Status stamp_last_write_time(const std::string& path, const FILETIME& utc);

}  // namespace qor
