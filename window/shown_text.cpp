#include "window/shown_text.hpp"

namespace qor {

std::string shown_text(std::string_view text) {
  // Walks only as far as the limit, however long the text.
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool starts_character = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (starts_character && ++characters > kShownTextCharacters)
      return std::string(text.substr(0, i)) + "\xE2\x80\xA6";  // "…"
  }
  return std::string(text);
}

}  // namespace qor
