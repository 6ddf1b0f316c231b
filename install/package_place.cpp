#include "install/package_place.hpp"

#include "install/package_fields.hpp"
#include "platform/file_system.hpp"
#include "portable/text/control_characters.hpp"
#include "server/package_name.hpp"

namespace qor {

bool names_one_file(const std::string& file) {
  return !file.empty() && file != "." && file != ".." &&
         file.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::optional<PackagePlace> package_place(const std::string& program_folder, const std::string& file,
                                          const std::string& sub_path, std::int16_t placement) {
  const auto below = path_below_program_folder(sub_path);
  if (!names_one_file(file) || !below || holds_control_character(sub_path)) return std::nullopt;

  std::string folder = local_path(program_folder + *below);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (placement == kPlacementSQLite3) folder += "/SQLite3";
  return PackagePlace{folder + "/" + file, folder};
}

}  // namespace qor
