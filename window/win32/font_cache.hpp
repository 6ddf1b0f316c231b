// The fonts the controls draw with, made once per face, size and weight.
#pragma once

#include "platform/win32/windows_api.hpp"

#include <map>
#include <string>
#include <tuple>

#include "window/controls.hpp"
#include "window/win32/screen_units.hpp"
#include "window/win32/win32_handles.hpp"

namespace qor::win32 {

class FontCache {
 public:
  explicit FontCache(ScreenUnits units) : units_(units) {}
  // The design font in the given weight; an empty face or a size of 0 takes
  // the system's message font for it.
  HFONT get(const FontSpec& font, bool bold);

 private:
  using Key = std::tuple<std::string, double, bool>;
  ScreenUnits units_;
  std::map<Key, UniqueFont> fonts_;
};

}  // namespace qor::win32
