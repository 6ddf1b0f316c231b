// Temporary files of downloads that a run ended during them (killed, or the
// machine turned off) left behind.
#pragma once

#include <string>

#include "portable/result/result.hpp"

namespace qor {

// Removes, in the open `folder` and the real folders below it (links are
// not followed), the regular files of this user with a leftover name.
// `shown` is the folder's path for reasons; the first failure is returned,
// the rest is still handled.
Status remove_download_leftovers_in(int folder, const std::string& shown);

}  // namespace qor
