// A colour value of the caption catalogue: a decimal integer that fits a
// signed 32-bit value, with an optional sign and white space around it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qor {

std::optional<std::int32_t> parse_colour(std::string_view text);

}  // namespace qor
