// Temporary files of downloads that a run ended during them (killed, or the
// machine turned off) left behind.
#pragma once

#include <string>

#include "portable/result/result.hpp"

namespace qor::win32 {

// Removes, in `folder` and the real folders below it (no reparse point is
// followed), the regular files with a leftover name (download_names.hpp).
// The first failure is returned; the rest is still handled.
Status remove_download_leftovers_in(const std::string& folder);

}  // namespace qor::win32
