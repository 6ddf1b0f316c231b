// Which packages carry their version as a date (compared exactly, letter
// case included), and which local files are the user's own and never
// replaced (in any letter case: where case does not tell names apart, any
// spelling is the user's file).
#pragma once

#include <string>

#include "portable/text/letter_case.hpp"

namespace qor {

inline bool is_date_versioned(const std::string& kind, const std::string& file) {
  return kind == "dll" || kind == "jpg" || (kind == "db3" && file == "qor_base.db3");
}

inline bool is_user_database(const std::string& file) {
  const std::string folded = fold_case_text(file);
  return folded == "qor_buch.db3" || folded == "qor_data_1.db3";
}

}  // namespace qor
