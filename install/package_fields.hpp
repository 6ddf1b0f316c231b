// The fields of a package record line of List1, as the version check and
// the download run read them.
#pragma once

#include <cstdint>
#include <string>

namespace qor {

class ListBox;

struct PackageFields {
  std::string file;            // "fn="
  std::string path;            // "pa="
  std::string version;         // "ve="
  std::string kind;            // "ar="
  std::int16_t placement = 0;  // "st="
};

inline constexpr std::int16_t kPlacementSQLite3 = 10;

// Overwrites the fields the line carries; a later field of the same key wins.
// Placement is the line's own: 0 unless it sets a valid "st=".
void apply_record_fields(const std::string& line, PackageFields& fields);

// The placement of one line: its last "st=", read as a 16-bit integer; 0
// when there is none or it is not an integer.
std::int16_t placement_of(const std::string& line);

// The fields in effect for List1's row as the record parse leaves them:
// a key missing from a line keeps the value of the lines before it. An
// invalid row gives empty fields.
PackageFields package_fields_at(const ListBox& list1, int row);

}  // namespace qor
