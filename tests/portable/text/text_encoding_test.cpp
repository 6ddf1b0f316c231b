// Bytes from servers as text: where strict UTF-8 ends, and every byte of
// Windows-1252, the five it leaves unassigned included; and text back to
// Windows-1252 exactly where the code page has it.
#include <gtest/gtest.h>

#include <string>

#include "portable/text/text_encoding.hpp"

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

// Names and accounts go to the server in its code page; a character it
// lacks leaves the whole text in UTF-8, never half converted.
TEST(TextEncoding, TextGoesBackToWindows1252WhereTheCodePageHasEveryCharacter) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8_to_windows1252(windows1252_to_utf8(all)), all);
  EXPECT_EQ(utf8_to_windows1252("Gr\xC3\xBC\xC3\x9F"
                                "e \xE2\x82\xAC"),
            "Gr\xFC\xDF"
            "e \x80");
  for (const std::string lacking : {"\xCE\xA9",          // Greek capital omega
                                    "\xC2\x80",          // U+0080: its byte is the euro sign
                                    "\xF0\x9F\x98\x80",  // beyond the basic plane
                                    "ab\xC3"}) {         // no UTF-8 at all
    EXPECT_FALSE(utf8_to_windows1252(lacking)) << testing::PrintToString(lacking);
  }
  EXPECT_EQ(bytes_for_server("Caf\xC3\xA9.txt"), "Caf\xE9.txt");
  EXPECT_EQ(bytes_for_server("\xCE\xA9mega \xC3\xA9"), "\xCE\xA9mega \xC3\xA9");
  EXPECT_EQ(text_from_server("Caf\xE9"), "Caf\xC3\xA9");
  EXPECT_EQ(text_from_server("Caf\xC3\xA9"), "Caf\xC3\xA9");
}

}  // namespace
}  // namespace qor
