// Setting a file's last-write time on Linux.
#pragma once

#include <ctime>

#include <string>

#include "platform/find_data.hpp"
#include "portable/result/result.hpp"

namespace qor {

// Only the last-write time of the regular file `name` in the open `folder`
// changes (to `utc`, whole seconds), set on a descriptor of the file itself:
// a link there is refused, never followed. Setting a time needs no write
// permission, so a read-only file keeps its exact bits. `shown` is the full
// path for reasons.
Status stamp_last_write_time_at(int folder, const std::string& name, const std::string& shown, const FILETIME& utc);

// The seconds since 1970 of a FILETIME (UTC).
time_t unix_time_of(const FILETIME& utc);
// The same for a full path (its folder may be reached through links).
Status stamp_last_write_time(const std::string& path, const FILETIME& utc);

}  // namespace qor
