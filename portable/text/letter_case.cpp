#include "portable/text/letter_case.hpp"

#include <cstdint>

namespace qor {

namespace {

char32_t lower(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x137 && c != 0x130) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177) return c | 1;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  return c;
}

char32_t upper(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x137 && c != 0x131) return c & ~char32_t{1};
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
  if (c >= 0x14A && c <= 0x177) return c & ~char32_t{1};
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

// Pairs whose upper letter sits at an even code point and its lower one
// right after it.
bool in_even_odd_pairs(char32_t c) {
  return (c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F) ||
         (c >= 0x3D8 && c <= 0x3EF);
}

char32_t fold(char32_t c) {
  switch (c) {
    case 0xB5:
      return 0x3BC;  // micro sign
    case 0x17F:
      return 's';  // long s
    case 0x386:
      return 0x3AC;
    case 0x38C:
      return 0x3CC;
    case 0x3C2:
      return 0x3C3;  // final sigma
    case 0x3CF:
      return 0x3D7;
    case 0x3D0:
      return 0x3B2;
    case 0x3D1:
      return 0x3B8;
    case 0x3D5:
      return 0x3C6;
    case 0x3D6:
      return 0x3C0;
    case 0x3F0:
      return 0x3BA;
    case 0x3F1:
      return 0x3C1;
    case 0x3F4:
      return 0x3B8;
    case 0x3F5:
      return 0x3B5;
    case 0x4C0:
      return 0x4CF;
    default:
      break;
  }
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  if (c == 0x3AA || c == 0x3AB) return c + 0x20;
  if (in_even_odd_pairs(c)) return c | 1;
  if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) ? c + 1 : c;
  return lower(c);
}

// Length of the UTF-8 sequence at s[i] when it is one of the forms the
// mapping touches (up to three bytes); 0 otherwise.
std::size_t decode(std::string_view s, std::size_t i, char32_t& c) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  auto cont = [&](std::size_t k) { return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80; };
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  if ((b0 & 0xE0) == 0xC0 && cont(1)) {
    c = (char32_t{b0} & 0x1F) << 6 | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
    return 2;
  }
  return 0;
}

void encode(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

template <class Map>
std::string map_text(std::string_view s, Map map) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    char32_t c = 0;
    const std::size_t n = decode(s, i, c);
    if (n == 0) {
      out += s[i++];
      continue;
    }
    // Every mapped pair lies below U+0800, so the length never changes form.
    encode(map(c), out);
    i += n;
  }
  return out;
}

}  // namespace

std::string to_lower_text(std::string_view utf8) { return map_text(utf8, lower); }
std::string to_upper_text(std::string_view utf8) { return map_text(utf8, upper); }
std::string fold_case_text(std::string_view utf8) { return map_text(utf8, fold); }

}  // namespace qor
