#include "install/package_fields.hpp"

#include <string_view>

#include "server/answer_grammar.hpp"

namespace qor {
namespace {

std::int16_t to_placement(std::string_view text) {
  return answer::integer_value<std::int16_t>(text).value_or(std::int16_t{0});
}

}  // namespace

void apply_record_fields(const std::string& line, PackageFields& fields) {
  fields.placement = 0;
  for (const std::string_view field : answer::record_fields(line)) {
    if (const auto v = answer::keyed_value(field, "fn="))
      fields.file = *v;
    else if (const auto v = answer::keyed_value(field, "pa="))
      fields.path = *v;
    else if (const auto v = answer::keyed_value(field, "ve="))
      fields.version = *v;
    else if (const auto v = answer::keyed_value(field, "ar="))
      fields.kind = *v;
    else if (const auto v = answer::keyed_value(field, "st="))
      fields.placement = to_placement(*v);
  }
}

std::int16_t placement_of(const std::string& line) {
  std::int16_t placement = 0;
  for (const std::string_view field : answer::record_fields(line)) {
    if (const auto v = answer::keyed_value(field, "st=")) placement = to_placement(*v);
  }
  return placement;
}

}  // namespace qor
