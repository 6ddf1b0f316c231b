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

// None when the sub-path from the server would leave the program folder (a
// drive letter, ".."), holds a control character, or the file name names no
// single file of its folder (see names_one_file); nothing is ever written
// for such a package. Leading
// separators of the sub-path are dropped: it lies below the folder.
// program_folder ends with "/"; "\" in the server's texts reads as "/".
std::optional<PackagePlace> package_place(const std::string& program_folder, const std::string& file,
                                          const std::string& sub_path, std::int16_t placement);

// True for a file name that names one file of its folder: not empty, not
// "." or "..", no separator ("/" or "\"), no NUL.
bool names_one_file(const std::string& file);

}  // namespace qor
