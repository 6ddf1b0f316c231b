#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "portable/text/base64.hpp"

namespace qor {
namespace {

TEST(Base64, KnownTextsBothWays) {
  const std::vector<std::pair<std::string, std::string>> known = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\0\xFF\xFE", 3), "AP/+"},  // the last two letters of the alphabet
  };
  for (const auto& [bytes, text] : known) {
    EXPECT_EQ(to_base64(bytes), text);
    const auto back = from_base64(text);
    ASSERT_TRUE(back) << text << ": " << back.failure().reason;
    EXPECT_EQ(*back, bytes);
  }
  std::string every;
  for (int i = 0; i < 256; ++i) every += static_cast<char>(i);
  for (std::size_t length = 0; length <= every.size(); length += 37) {
    const auto back = from_base64(to_base64(every.substr(0, length)));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, every.substr(0, length));
  }
}

// One value has one text: every other text is refused with a reason.
TEST(Base64, TextsThatAreNotTheOneTextOfTheirBytesAreRefused) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"Zm9", "length"},
      {"Zm9vY", "length"},
      {"Zm9v\n", "line feed"},
      {"Zm 9v", "blank"},
      {"Zm9-", "url alphabet"},
      {"Zm9_", "url alphabet"},
      {"Zm*v", "star"},
      {std::string("Zm\0v", 4), "zero byte"},
      {"Zm9\xC3", "non-ASCII"},
      {"Zg==Zg==", "padding in the middle"},
      {"Z===", "three pads"},
      {"====", "padding alone"},
      {"Zm=v", "pad inside"},
      {"Zh==", "bits beyond one byte"},
      {"Zm9=", "bits beyond two bytes"},
  };
  for (const auto& [text, what] : refused) {
    const auto bytes = from_base64(text);
    EXPECT_FALSE(bytes) << what;
    if (!bytes) {
      EXPECT_NE(bytes.failure().reason.find("base64"), std::string::npos) << what;
    }
  }
}

}  // namespace
}  // namespace qor
