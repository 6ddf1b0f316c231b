// Answer bytes to text: whatever arrives, the text must be valid UTF-8. The
// validity check is compared with the well-formed byte sequences of the
// Unicode standard (table 3-7), and the Windows-1252 reading with the C
// library's own converter (iconv), so neither oracle shares code with the
// decoder.
#include <iconv.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.hpp"
#include "portable/text/text_encoding.hpp"
#include "server/answer_text.hpp"

namespace {

using qor::fuzz::check;

// Length of the well-formed sequence at p, 0 when there is none.
std::size_t well_formed_at(const unsigned char* p, std::size_t left) {
  const unsigned char b = p[0];
  if (b <= 0x7F) return 1;
  auto in = [&](std::size_t i, unsigned char lo, unsigned char hi) { return i < left && p[i] >= lo && p[i] <= hi; };
  if (b >= 0xC2 && b <= 0xDF) return in(1, 0x80, 0xBF) ? 2 : 0;
  if (b == 0xE0) return in(1, 0xA0, 0xBF) && in(2, 0x80, 0xBF) ? 3 : 0;
  if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF) return in(1, 0x80, 0xBF) && in(2, 0x80, 0xBF) ? 3 : 0;
  if (b == 0xED) return in(1, 0x80, 0x9F) && in(2, 0x80, 0xBF) ? 3 : 0;
  if (b == 0xF0) return in(1, 0x90, 0xBF) && in(2, 0x80, 0xBF) && in(3, 0x80, 0xBF) ? 4 : 0;
  if (b >= 0xF1 && b <= 0xF3) return in(1, 0x80, 0xBF) && in(2, 0x80, 0xBF) && in(3, 0x80, 0xBF) ? 4 : 0;
  if (b == 0xF4) return in(1, 0x80, 0x8F) && in(2, 0x80, 0xBF) && in(3, 0x80, 0xBF) ? 4 : 0;
  return 0;
}

bool well_formed(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t n = well_formed_at(p + i, s.size() - i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

// Each byte as the C library converts it from Windows-1252; the five bytes
// that code page leaves unassigned become the C1 control of that number.
std::array<std::string, 256> cp1252_table() {
  std::array<std::string, 256> table;
  iconv_t cd = iconv_open("UTF-8", "WINDOWS-1252");
  check(cd != reinterpret_cast<iconv_t>(-1), "iconv knows WINDOWS-1252");
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    char out[8];
    char* inp = &in;
    char* outp = out;
    std::size_t in_left = 1;
    std::size_t out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inp, &in_left, &outp, &out_left) == static_cast<std::size_t>(-1)) {
      table[b] = {static_cast<char>(0xC2), static_cast<char>(b)};
    } else {
      table[b].assign(out, static_cast<std::size_t>(outp - out));
    }
  }
  iconv_close(cd);
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::array<std::string, 256> cp1252 = cp1252_table();
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const bool valid = qor::is_valid_utf8(body);
  check(valid == well_formed(body), "the UTF-8 check agrees with the well-formed sequences");

  std::string expected_1252;
  for (unsigned char b : body) expected_1252 += cp1252[b];
  const std::string converted = qor::windows1252_to_utf8(body);
  check(converted == expected_1252, "Windows-1252 decoding agrees with iconv");

  const std::string text = qor::answer_text(body);
  check(well_formed(text), "the answer text is valid UTF-8");
  if (valid) {
    const bool bom = body.starts_with("\xEF\xBB\xBF");
    check(text == body.substr(bom ? 3 : 0), "valid UTF-8 passes unchanged, without its byte-order mark");
  } else {
    check(text == converted, "other bytes are read as Windows-1252");
  }
  return 0;
}
