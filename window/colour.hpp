// Colours in the 0x00BBGGRR layout, and the system colours 0x800000nn.
#pragma once

#include <cstdint>
#include <optional>

#include "window/controls.hpp"

namespace qor {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// True for 0x00000000..0x00FFFFFF and for the system colours 0 to 24.
bool colour_is_showable(Colour colour);

// The colour as red, green and blue; system colours take the classic desktop
// scheme's values. None for a colour that is not showable.
std::optional<Rgb> colour_to_rgb(Colour colour);

}  // namespace qor
