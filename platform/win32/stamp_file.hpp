// Setting a file's last-write time on Windows.
#pragma once

#include <functional>
#include <string>

#include "platform/find_data.hpp"
#include "portable/result/result.hpp"

namespace qor::win32 {

// Only the last-write time changes. The attributes are read and remembered,
// set to normal for the moment of stamping (a read-only file could not be
// opened for writing) and restored afterwards, also when stamping fails.
// `check_opened`, when given, is asked about the opened file (its handle)
// before anything changes; its failure ends the stamping.
Status stamp_last_write_time(const std::string& path, const FILETIME& utc,
                             const std::function<Status(void* file)>& check_opened = {});

}  // namespace qor::win32
