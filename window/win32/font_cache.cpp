#include "window/win32/font_cache.hpp"

#include <cwchar>

#include "platform/win32/wide_text.hpp"

namespace qor::win32 {

HFONT FontCache::get(const FontSpec& font, bool bold) {
  Key key{font.Name, font.Size, bold};
  auto found = fonts_.find(key);
  if (found != fonts_.end()) return found->second.get();

  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  LOGFONTW log = metrics.lfMessageFont;
  if (!font.Name.empty()) {
    const std::wstring face = to_wide(font.Name);
    std::wcsncpy(log.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    log.lfFaceName[LF_FACESIZE - 1] = L'\0';
  }
  if (font.Size > 0) log.lfHeight = units_.font_height(font.Size);
  log.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  log.lfWidth = 0;
  log.lfItalic = FALSE;
  log.lfUnderline = FALSE;
  log.lfStrikeOut = FALSE;
  log.lfCharSet = DEFAULT_CHARSET;
  log.lfQuality = DEFAULT_QUALITY;
  return fonts_.emplace(std::move(key), UniqueFont(CreateFontIndirectW(&log))).first->second.get();
}

}  // namespace qor::win32
