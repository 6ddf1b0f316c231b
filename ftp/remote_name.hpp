// Which file names from the server may be fetched: the name must address a
// file in the login folder and nothing else, since a separator or ".." in it
// would reach other remote folders and write outside the target folder.
#pragma once

#include <string>

namespace qor {

// Not empty, not "." or "..", no separator, no control character.
bool is_bare_file_name(const std::string& name);

}  // namespace qor
