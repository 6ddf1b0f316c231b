#include "package_fields.hpp"

#include <charconv>
#include <limits>
#include <string_view>

#include "answer_grammar.hpp"
#include "controls.hpp"

namespace qor {
namespace {

std::int16_t to_placement(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return 0;
  if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max()) return 0;
  return static_cast<std::int16_t>(value);
}

}  // namespace

void apply_record_fields(const std::string& line, PackageFields& fields) {
  fields.placement = 0;
  for (const std::string_view field : answer::record_fields(line)) {
    if (const auto v = answer::keyed_value(field, "fn=")) fields.file = *v;
    else if (const auto v = answer::keyed_value(field, "pa=")) fields.path = *v;
    else if (const auto v = answer::keyed_value(field, "ve=")) fields.version = *v;
    else if (const auto v = answer::keyed_value(field, "ar=")) fields.kind = *v;
    else if (const auto v = answer::keyed_value(field, "st=")) fields.placement = to_placement(*v);
  }
}

std::int16_t placement_of(const std::string& line) {
  PackageFields fields;
  apply_record_fields(line, fields);
  return fields.placement;
}

PackageFields package_fields_at(const ListBox& list1, int row) {
  PackageFields fields;
  if (row < 0 || row >= list1.ListCount()) return fields;
  for (int r = 0; r <= row; ++r) apply_record_fields(list1.List(r), fields);
  return fields;
}

}  // namespace qor
