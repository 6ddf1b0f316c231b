// Bytes from servers as text: where strict UTF-8 ends, and every byte of
// Windows-1252, the five it leaves unassigned included.
#include <gtest/gtest.h>

#include <string>

#include "text_encoding.hpp"

namespace qor {
namespace {

TEST(TextEncoding, OnlyStrictUtf8IsUtf8) {
  for (const std::string valid : {"", "plain", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                                  "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_TRUE(is_valid_utf8(valid)) << testing::PrintToString(valid);
  }
  EXPECT_TRUE(is_valid_utf8(std::string("a\0b", 3)));
  for (const std::string invalid : {
           "\x80",              // a continuation byte alone
           "\xC0\xAF",          // overlong "/"
           "\xE0\x9F\xBF",      // overlong
           "\xF0\x8F\xBF\xBF",  // overlong
           "\xED\xA0\x80",      // a surrogate
           "\xF4\x90\x80\x80",  // above U+10FFFF
           "\xF8\x88\x80\x80\x80",
           "ab\xC3",    // cut
           "\xE2\x82",  // cut
           "\xC3\x28",  // no continuation
       }) {
    EXPECT_FALSE(is_valid_utf8(invalid)) << testing::PrintToString(invalid);
  }
}

TEST(TextEncoding, EveryWindows1252ByteIsOneCharacter) {
  EXPECT_EQ(windows1252_to_utf8("Gr\xFC\xDF"
                                "e \x80"),
            "Gr\xC3\xBC\xC3\x9F"
            "e \xE2\x82\xAC");
  EXPECT_EQ(windows1252_to_utf8("\x84\x93\x94\x96\x99\x9F"),
            "\xE2\x80\x9E\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\x93\xE2\x84\xA2\xC5\xB8");
  // The unassigned bytes become the C1 controls of the same number.
  EXPECT_EQ(windows1252_to_utf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string text = windows1252_to_utf8(all);
  EXPECT_TRUE(is_valid_utf8(text));
  EXPECT_EQ(text.substr(0, 128), all.substr(0, 128));
  EXPECT_EQ(text.substr(text.size() - 2), "\xC3\xBF");
}

}  // namespace
}  // namespace qor
