#include "portable/text/base64.hpp"

#include <array>
#include <cstdint>

namespace qor {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNone = -1;

constexpr std::array<int, 256> value_table() {
  std::array<int, 256> values{};
  values.fill(kNone);
  for (int i = 0; i < 64; ++i) values[static_cast<unsigned char>(kAlphabet[i])] = i;
  return values;
}
constexpr std::array<int, 256> kValues = value_table();

std::string shown(char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto byte = static_cast<unsigned char>(c);
  if (byte > 0x20 && byte < 0x7F) return std::string("'") + c + "'";
  return std::string("byte 0x") + kDigits[byte >> 4] + kDigits[byte & 15];
}

}  // namespace

std::string to_base64(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t left = bytes.size() - at;
    std::uint32_t group = static_cast<unsigned char>(bytes[at]) << 16;
    if (left > 1) group |= static_cast<unsigned char>(bytes[at + 1]) << 8;
    if (left > 2) group |= static_cast<unsigned char>(bytes[at + 2]);
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    text += left > 2 ? kAlphabet[group & 63] : '=';
  }
  return text;
}

Result<std::string> from_base64(std::string_view text) {
  if (text.size() % 4 != 0)
    return Failure{"base64: " + std::to_string(text.size()) + " characters, no multiple of 4", 0};
  std::size_t padding = 0;
  if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
  const std::size_t data = text.size() - padding;
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  std::uint32_t group = 0;
  for (std::size_t at = 0; at < data; ++at) {
    const int value = kValues[static_cast<unsigned char>(text[at])];
    if (value == kNone) {
      const char* where = text[at] == '=' ? " (padding before the end)" : "";
      return Failure{"base64: " + shown(text[at]) + " at " + std::to_string(at) + where + " is no base64", 0};
    }
    group = group << 6 | static_cast<std::uint32_t>(value);
    if (at % 4 == 3) {
      bytes += static_cast<char>(group >> 16);
      bytes += static_cast<char>(group >> 8);
      bytes += static_cast<char>(group);
      group = 0;
    }
  }
  // The last group: 2 characters for one byte, 3 for two; the bits beyond
  // them are zero in the one text of those bytes.
  if (padding == 2) {
    if ((group & 0x0F) != 0) return Failure{"base64: bits beyond the last byte", 0};
    bytes += static_cast<char>(group >> 4);
  } else if (padding == 1) {
    if ((group & 0x03) != 0) return Failure{"base64: bits beyond the last byte", 0};
    bytes += static_cast<char>(group >> 10);
    bytes += static_cast<char>(group >> 2);
  }
  return bytes;
}

}  // namespace qor
