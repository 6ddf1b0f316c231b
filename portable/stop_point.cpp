#include "portable/stop_point.hpp"

#include <cstdlib>
#include <string>

namespace qor {
namespace {

struct Wanted {
  std::string name;
  long at = 1;
  long reached = 0;
};

// Read once: the variable does not change while the program runs.
Wanted* wanted() {
  static Wanted* const point = [] () -> Wanted* {
    const char* text = std::getenv("QOR_STOP_AT");
    if (text == nullptr || *text == '\0') return nullptr;
    static Wanted parsed;
    std::string value = text;
    if (const auto colon = value.find(':'); colon != std::string::npos) {
      parsed.at = std::strtol(value.c_str() + colon + 1, nullptr, 10);
      value.resize(colon);
    }
    parsed.name = value;
    return &parsed;
  }();
  return point;
}

}  // namespace

void stop_point(std::string_view name) {
  Wanted* point = wanted();
  if (point == nullptr || point->name != name) return;
  if (++point->reached == point->at) std::_Exit(kStoppedAtPoint);
}

}  // namespace qor
