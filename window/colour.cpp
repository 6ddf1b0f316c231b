#include "window/colour.hpp"

#include <array>

namespace qor {
namespace {

constexpr std::uint32_t kSystemFlag = 0x80000000u;
constexpr std::uint32_t kSystemColourCount = 25;

// The classic desktop scheme, indexed by system colour number.
constexpr std::array<Rgb, kSystemColourCount> kSystemColours = {{
    {212, 208, 200},  // 0 scroll bar
    {58, 110, 165},   // 1 desktop
    {10, 36, 106},    // 2 active caption
    {128, 128, 128},  // 3 inactive caption
    {212, 208, 200},  // 4 menu
    {255, 255, 255},  // 5 window background
    {0, 0, 0},        // 6 window frame
    {0, 0, 0},        // 7 menu text
    {0, 0, 0},        // 8 window text
    {255, 255, 255},  // 9 caption text
    {212, 208, 200},  // 10 active border
    {212, 208, 200},  // 11 inactive border
    {128, 128, 128},  // 12 application workspace
    {10, 36, 106},    // 13 highlight
    {255, 255, 255},  // 14 highlight text
    {212, 208, 200},  // 15 button face
    {128, 128, 128},  // 16 button shadow
    {128, 128, 128},  // 17 grey text
    {0, 0, 0},        // 18 button text
    {212, 208, 200},  // 19 inactive caption text
    {255, 255, 255},  // 20 button highlight
    {64, 64, 64},     // 21 3-D dark shadow
    {212, 208, 200},  // 22 3-D light
    {0, 0, 0},        // 23 tooltip text
    {255, 255, 225},  // 24 tooltip background
}};

}  // namespace

bool colour_is_showable(Colour colour) {
  const auto value = static_cast<std::uint32_t>(colour);
  if (value <= 0x00FFFFFFu) return true;
  return (value & 0xFFFFFF00u) == kSystemFlag && (value & 0xFFu) < kSystemColourCount;
}

std::optional<Rgb> colour_to_rgb(Colour colour) {
  if (!colour_is_showable(colour)) return std::nullopt;
  const auto value = static_cast<std::uint32_t>(colour);
  if (value & kSystemFlag) return kSystemColours[value & 0xFFu];
  return Rgb{static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>((value >> 8) & 0xFF),
             static_cast<std::uint8_t>((value >> 16) & 0xFF)};
}

}  // namespace qor
