#include "package_name.hpp"

#include <string>

#include "answer_grammar.hpp"
#include "file_system.hpp"

namespace qor {

bool stays_inside_program_folder(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return false;
  const std::string path = local_path(std::string(name));
  if (path.starts_with('/')) return false;
  for (const std::string_view component : answer::split(path, "/")) {
    if (component == "..") return false;
  }
  return true;
}

}  // namespace qor
