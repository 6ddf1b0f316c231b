#include "portable/stop_point.hpp"

#include <cstdlib>
#include <string>

namespace qor {

void stop_point(std::string_view name, long occurrence) {
  // Read at each point, not once: a test sets it in the process it stops.
  const char* wanted = std::getenv("QOR_STOP_AT");
  if (wanted == nullptr || !std::string_view(wanted).starts_with(name)) return;
  const std::string_view rest = std::string_view(wanted).substr(name.size());
  long at = 1;
  if (rest.starts_with(':')) {
    at = std::strtol(std::string(rest.substr(1)).c_str(), nullptr, 10);
  } else if (!rest.empty()) {
    return;  // another point whose name begins the same
  }
  if (occurrence == at) std::_Exit(kStoppedAtPoint);
}

}  // namespace qor
