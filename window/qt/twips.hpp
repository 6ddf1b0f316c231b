// Model units to Qt units: twips to pixels, 0x00BBGGRR colours to QColor.
#pragma once

#include <cmath>
#include <optional>

#include <QColor>
#include <QFont>

#include "window/colour.hpp"
#include "window/controls.hpp"

namespace qor::qt {

// 15 twips are one pixel at 96 dpi. The model keeps fractional twips; only
// the drawing rounds, to the nearest pixel.
inline constexpr double kTwipsPerPixel = 15.0;

inline int to_pixels(double twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }
inline float to_twips(int pixels) { return static_cast<float>(pixels * kTwipsPerPixel); }

// None for a colour the toolkit cannot show; the caller keeps the old one.
inline std::optional<QColor> to_qcolor(Colour colour) {
  const auto rgb = colour_to_rgb(colour);
  if (!rgb) return std::nullopt;
  return QColor(rgb->r, rgb->g, rgb->b);
}

// The design font over the application's default one; bold from FontBold.
inline QFont to_qfont(const FontSpec& font, bool bold, const QFont& base) {
  QFont out = base;
  if (!font.Name.empty()) out.setFamily(QString::fromStdString(font.Name));
  if (font.Size > 0) out.setPointSizeF(font.Size);
  out.setBold(bold);
  return out;
}

}  // namespace qor::qt
