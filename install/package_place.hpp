// Where a package file lives on disk. The version check and the download
// run use the same place, so a file is looked for exactly where it is put.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qor {

struct PackagePlace {
  std::string local_file;    // full path of the file
  std::string local_folder;  // the folder that receives it, no trailing "/"
};

// None when the file name or sub-path from the server would leave the
// program folder (a drive letter, "..", a separator in the file name) or
// names no file at all; such a package is never checked nor written.
// Leading separators of the sub-path are dropped: it lies below the folder.
// program_folder ends with "/"; "\" in the server's texts reads as "/".
std::optional<PackagePlace> package_place(const std::string& program_folder, const std::string& file,
                                          const std::string& sub_path, std::int16_t placement);

}  // namespace qor
