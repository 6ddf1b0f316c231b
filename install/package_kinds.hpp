// Which packages carry their version as a date, and which local files are
// the user's own and never replaced. Compared exactly, letter case included.
#pragma once

#include <string>

namespace qor {

inline bool is_date_versioned(const std::string& kind, const std::string& file) {
  return kind == "dll" || kind == "jpg" || (kind == "db3" && file == "qor_base.db3");
}

inline bool is_user_database(const std::string& file) { return file == "qor_buch.db3" || file == "qor_data_1.db3"; }

}  // namespace qor
