#include "portable/text/text_encoding.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

namespace qor {

bool is_valid_utf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (p < end) {
    const unsigned char b = *p;
    if (b < 0x80) {
      ++p;
      continue;
    }
    int more = 0;
    std::uint32_t min = 0;
    std::uint32_t cp = 0;
    if ((b & 0xE0) == 0xC0) {
      more = 1, min = 0x80, cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      more = 2, min = 0x800, cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      more = 3, min = 0x10000, cp = b & 0x07;
    } else {
      return false;
    }
    if (end - p <= more) return false;
    for (int i = 1; i <= more; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    p += more + 1;
  }
  return true;
}

namespace {

// 0x80-0x9F; 0 marks the unassigned bytes.
constexpr std::array<char16_t, 32> kHighControls = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string text_from_server(std::string_view bytes) {
  return is_valid_utf8(bytes) ? std::string(bytes) : windows1252_to_utf8(bytes);
}

std::optional<std::string> utf8_to_windows1252(std::string_view utf8) {
  if (!is_valid_utf8(utf8)) return std::nullopt;
  std::string out;
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* const end = p + utf8.size();
  while (p < end) {
    std::uint32_t cp = *p;
    int length = 1;
    if (cp >= 0xF0) {
      return std::nullopt;  // far beyond the code page
    } else if (cp >= 0xE0) {
      cp = ((cp & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F), length = 3;
    } else if (cp >= 0xC0) {
      cp = ((cp & 0x1F) << 6) | (p[1] & 0x3F), length = 2;
    }
    p += length;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    const auto* const found = std::find(kHighControls.begin(), kHighControls.end(), static_cast<char16_t>(cp));
    if (found != kHighControls.end()) {
      out.push_back(static_cast<char>(0x80 + (found - kHighControls.begin())));
    } else if (cp >= 0x80 && cp <= 0x9F && kHighControls[cp - 0x80] == 0) {
      out.push_back(static_cast<char>(cp));  // an unassigned byte, read as its C1 control
    } else {
      return std::nullopt;
    }
  }
  return out;
}

std::string bytes_for_server(std::string_view utf8) {
  auto in_code_page = utf8_to_windows1252(utf8);
  return in_code_page ? std::move(*in_code_page) : std::string(utf8);
}

std::string windows1252_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    std::uint32_t cp = b;
    if (b >= 0x80 && b <= 0x9F && kHighControls[b - 0x80] != 0) cp = kHighControls[b - 0x80];
    append_utf8(out, cp);
  }
  return out;
}

}  // namespace qor
