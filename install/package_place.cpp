#include "package_place.hpp"

#include "file_system.hpp"
#include "package_fields.hpp"
#include "package_name.hpp"

namespace qor {

std::optional<PackagePlace> package_place(const std::string& program_folder, const std::string& file,
                                          const std::string& sub_path, std::int16_t placement) {
  if (file.empty() || file == "." || file == ".." || file.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
    return std::nullopt;
  const auto below = path_below_program_folder(sub_path);
  if (!below) return std::nullopt;

  std::string folder = local_path(program_folder + *below);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (placement == kPlacementSQLite3) folder += "/SQLite3";
  return PackagePlace{folder + "/" + file, folder};
}

}  // namespace qor
