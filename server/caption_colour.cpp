#include "caption_colour.hpp"

#include <charconv>

namespace qor {

std::optional<std::int32_t> parse_colour(std::string_view text) {
  // from_chars takes a "-" but not a "+"; a lone sign or a second sign is no number.
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.starts_with('-')) return std::nullopt;
  }
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace qor
