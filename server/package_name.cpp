#include "server/package_name.hpp"

#include "platform/file_system.hpp"
#include "server/answer_grammar.hpp"

namespace qor {

std::optional<std::string> path_below_program_folder(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return std::nullopt;
  std::string path = local_path(std::string(name));
  path.erase(0, path.find_first_not_of('/'));
  const auto is_letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (path.size() >= 2 && is_letter(path[0]) && path[1] == ':') return std::nullopt;
  for (const std::string_view component : answer::split(path, "/")) {
    if (component == "..") return std::nullopt;
  }
  return path;
}

}  // namespace qor
