#include "package_fields.hpp"

#include <charconv>
#include <limits>
#include <optional>
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

// The value of the line's last field that starts with `key`.
std::optional<std::string_view> last_keyed_value(std::string_view line, std::string_view key) {
  if (line.find(key) == std::string_view::npos) return std::nullopt;  // the common miss, cheaply
  std::optional<std::string_view> value;
  for (const std::string_view field : answer::record_fields(line)) {
    if (const auto v = answer::keyed_value(field, key)) value = v;
  }
  return value;
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
  PackageFields fields;
  apply_record_fields(line, fields);
  return fields.placement;
}

PackageFields package_fields_at(const ListBox& list1, int row) {
  PackageFields fields;
  if (row < 0 || row >= list1.ListCount()) return fields;
  fields.placement = placement_of(list1.List(row));
  // Walking back from the row finds each key's latest value; a record that
  // carries every key ends the walk at once, however long the list.
  struct Key {
    std::string_view key;
    std::string PackageFields::*target;
    bool found = false;
  };
  Key keys[] = {{"fn=", &PackageFields::file},
                {"pa=", &PackageFields::path},
                {"ve=", &PackageFields::version},
                {"ar=", &PackageFields::kind}};
  int missing = 4;
  for (int r = row; r >= 0 && missing > 0; --r) {
    const std::string& line = list1.List(r);
    for (Key& k : keys) {
      if (k.found) continue;
      if (const auto value = last_keyed_value(line, k.key)) {
        fields.*k.target = std::string(*value);
        k.found = true;
        --missing;
      }
    }
  }
  return fields;
}

}  // namespace qor
