// The fields of one package record, as the version check decides by them.
// The window keeps them for each due record, so that the download run
// fetches exactly the file the check found due into exactly the place where
// it looked, whatever the records around it hold.
#pragma once

#include <cstdint>
#include <string>

namespace qor {

struct PackageFields {
  std::string file;            // "fn="
  std::string path;            // "pa="
  std::string version;         // "ve="
  std::string kind;            // "ar="
  std::int16_t placement = 0;  // "st="
};

// What the version check saw of a record it put into List3.
struct CheckedRecord {
  PackageFields fields;
  // Due because its file was not there: the download run then puts the
  // file only where the place is still empty when it arrives.
  bool found_missing = false;
};

}  // namespace qor
