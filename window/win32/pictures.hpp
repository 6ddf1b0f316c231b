// The window's pictures: GIF and JPEG bytes embedded as RCDATA resources of
// the executable under their asset names, decoded once with OleLoadPicture
// and drawn at the size the layout gives them: their pixels at 96 DPI, as
// many more as the screen has more (a GIF's transparent colour stays
// transparent).
#pragma once

#include "platform/win32/windows_api.hpp"
// After it: OLE is left out of the lean <windows.h>.
#include <ole2.h>
#include <olectl.h>

#include <map>
#include <string>

#include "window/win32/screen_units.hpp"
#include "window/win32/win32_handles.hpp"

namespace qor::win32 {

class Picture {
 public:
  Picture() = default;
  Picture(ComPtr<IPicture> picture, SIZE pixels, SIZE himetric);
  explicit operator bool() const { return static_cast<bool>(picture_); }
  // Its size on the screen, in pixels; drawing stretches it to that size.
  SIZE size() const { return pixels_; }
  void draw(HDC dc, int x, int y) const;

 private:
  ComPtr<IPicture> picture_;
  SIZE pixels_{0, 0};
  SIZE himetric_{0, 0};
};

// Decodes the resource named after the asset ("logo", "lang_de_p"); an empty
// picture when the module holds no such resource or it does not decode.
Picture load_picture(HMODULE module, const std::string& asset, const ScreenUnits& units);

// Each asset decoded once, on first use.
class PictureCache {
 public:
  explicit PictureCache(ScreenUnits units) : units_(units) {}
  const Picture& get(const std::string& asset);

 private:
  ScreenUnits units_;
  std::map<std::string, Picture> pictures_;
};

}  // namespace qor::win32
