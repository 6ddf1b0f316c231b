// The fields of a package record line of List1.
#pragma once

#include <cstdint>
#include <string>

#include "window/checked_fields.hpp"

namespace qor {

inline constexpr std::int16_t kPlacementSQLite3 = 10;

// Overwrites the fields the line carries; a later field of the same key wins.
// Placement is the line's own: 0 unless it sets a valid "st=".
void apply_record_fields(const std::string& line, PackageFields& fields);

// The placement of one line: its last "st=", read as a 16-bit integer; 0
// when there is none or it is not an integer.
std::int16_t placement_of(const std::string& line);

}  // namespace qor
