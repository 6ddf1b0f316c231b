#include "record_split.hpp"

namespace qor {

std::vector<std::string> split_fields(const std::string& line) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    const auto bar = line.find('|', start);
    fields.push_back(line.substr(start, bar - start));
    if (bar == std::string::npos) return fields;
    start = bar + 1;
  }
}

}  // namespace qor
