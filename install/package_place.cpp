#include "package_place.hpp"

#include <string_view>

#include "file_system.hpp"
#include "package_fields.hpp"

namespace qor {

bool stays_inside(const std::string& relative_path) {
  const std::string p = local_path(relative_path);
  if (p.find('\0') != std::string::npos) return false;
  if (!p.empty() && p.front() == '/') return false;
  std::string::size_type start = 0;
  for (;;) {
    const auto slash = p.find('/', start);
    const auto end = slash == std::string::npos ? p.size() : slash;
    if (std::string_view(p).substr(start, end - start) == "..") return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

bool names_one_file(const std::string& file) {
  return !file.empty() && file != "." && file != ".." &&
         file.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::optional<PackagePlace> package_place(const std::string& program_folder, const std::string& file,
                                          const std::string& sub_path, std::int16_t placement) {
  if (!names_one_file(file) || !stays_inside(sub_path)) return std::nullopt;

  std::string folder = local_path(program_folder + sub_path);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (placement == kPlacementSQLite3) folder += "/SQLite3";
  return PackagePlace{folder + "/" + file, folder};
}

}  // namespace qor
