// Model units to device units at the system's DPI: twips to pixels, points
// to font heights, 0x00BBGGRR colours to COLORREF.
#pragma once

#include "platform/win32/windows_api.hpp"

#include <cmath>
#include <optional>

#include "window/colour.hpp"
#include "window/controls.hpp"
#include "window/win32/win32_handles.hpp"

namespace qor::win32 {

class ScreenUnits {
 public:
  explicit ScreenUnits(int dpi) : dpi_(dpi > 0 ? dpi : 96) {}
  // The DPI of the screen as this process sees it.
  static ScreenUnits of_screen() {
    const WindowDc screen(nullptr);
    return ScreenUnits(GetDeviceCaps(screen.get(), LOGPIXELSY));
  }

  int dpi() const { return dpi_; }
  // The model keeps fractional twips; only drawing rounds, to the nearest pixel.
  int to_pixels(double twips) const { return static_cast<int>(std::lround(twips * dpi_ / 1440.0)); }
  float to_twips(int pixels) const { return static_cast<float>(pixels * 1440.0 / dpi_); }
  // The LOGFONT height of a font of that many points (negative: the em height).
  int font_height(double points) const { return -static_cast<int>(std::lround(points * dpi_ / 72.0)); }
  int himetric_to_pixels(long himetric) const { return static_cast<int>(std::lround(himetric * dpi_ / 2540.0)); }
  // A picture's pixels on this screen. The pictures are drawn for 96 DPI,
  // where the layout's twips are 15 a pixel; they grow with the layout, or
  // the flags and the logo would shrink inside their panels.
  int picture_pixels(int pixels) const { return static_cast<int>(std::lround(pixels * dpi_ / 96.0)); }

 private:
  int dpi_;
};

// None for a colour the toolkit cannot show; the caller keeps the old one.
// System colours are the running system's own.
inline std::optional<COLORREF> to_colorref(Colour colour) {
  if (!colour_is_showable(colour)) return std::nullopt;
  const auto value = static_cast<DWORD>(colour);
  if (value & 0x80000000u) return GetSysColor(static_cast<int>(value & 0xFFu));
  return static_cast<COLORREF>(value);
}

}  // namespace qor::win32
