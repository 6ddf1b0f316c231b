// Setting a file's last-write time on Windows.
#pragma once

#include <string>

#include "find_data.hpp"
#include "result.hpp"

namespace qor::win32 {

// Only the last-write time changes. The attributes are read and remembered,
// set to normal for the moment of stamping (a read-only file could not be
// opened for writing) and restored afterwards, also when stamping fails.
Status stamp_last_write_time(const std::string& path, const FILETIME& utc);

}  // namespace qor::win32
