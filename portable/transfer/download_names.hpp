// The names of the temporary files downloads arrive in, the same on every
// platform, so that a run can tell the leftovers of an earlier one.
#pragma once

#include <string>

namespace qor {

// The prefix of the temporary file's name; six letters or digits follow.
inline constexpr const char* kTemporaryPrefix = ".qor-download-";

// A fresh name of that form, with random letters and digits.
std::string new_temporary_name();

// True for a name as new_temporary_name makes them: the prefix and six ASCII
// letters or digits.
bool is_download_leftover_name(const std::string& name);

}  // namespace qor
