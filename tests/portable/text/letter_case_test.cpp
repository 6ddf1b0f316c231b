// Names that are the same regardless of letter case on the servers'
// platform fold to the same text; others stay apart.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "portable/text/letter_case.hpp"

namespace qor {
namespace {

TEST(LetterCase, FoldingMakesEveryCaseOfALetterOne) {
  const std::vector<std::pair<std::string, std::string>> same = {
      {"QOR_Software.EXE", "qor_software.exe"},
      {"\xC3\x84RGER \xC3\x9F", "\xC3\xA4rger \xC3\x9F"},                        // ÄRGER ß, ärger ß
      {"\xC5\xBF\x6F", "SO"},                                                    // ſo
      {"\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3", "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82"},  // ΟΔΟΣ, οδος
      {"\xCE\x8A", "\xCE\xAF"},                                                  // Ί, ί
      {"\xC2\xB5", "\xCE\x9C"},                                                  // micro sign, Μ
      {"\xD0\x81\xD0\x96", "\xD1\x91\xD0\xB6"},                                  // ЁЖ, ёж
      {"\xD2\x90\xD3\x81", "\xD2\x91\xD3\x82"},                                  // ҐӁ, ґӂ
  };
  for (const auto& [a, b] : same) EXPECT_EQ(fold_case_text(a), fold_case_text(b)) << a << " / " << b;

  const std::vector<std::pair<std::string, std::string>> apart = {
      {"a", "b"}, {"\xC3\x9F", "ss"}, {"i", "\xC4\xB0"}, {"\xC3\x97", "\xC3\xB7"},  // ß, İ, ×, ÷
  };
  for (const auto& [a, b] : apart) EXPECT_NE(fold_case_text(a), fold_case_text(b)) << a << " / " << b;
  // Bytes that are no UTF-8 are kept as they are.
  EXPECT_EQ(fold_case_text("A\xFF\xC3"), "a\xFF\xC3");
}

}  // namespace
}  // namespace qor
