#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "portable/release/release_key.hpp"
#include "portable/text/base64.hpp"

namespace qor::release {
namespace {

crypto::KeyPair sample_pair() {
  crypto::KeyPair pair;
  for (std::size_t i = 0; i < pair.secret.size(); ++i) pair.secret[i] = static_cast<std::uint8_t>(0xA0 + i);
  pair.public_key[0] = 0x04;
  for (std::size_t i = 1; i < pair.public_key.size(); ++i) pair.public_key[i] = static_cast<std::uint8_t>(255 - i);
  return pair;
}

crypto::Signature sample_signature() {
  crypto::Signature signature{};
  for (std::size_t i = 0; i < signature.size(); ++i) signature[i] = static_cast<std::uint8_t>(i * 3);
  return signature;
}

std::string joined(std::initializer_list<std::string_view> lines, std::string_view end) {
  std::string text;
  for (auto line = lines.begin(); line != lines.end(); ++line) {
    if (line != lines.begin()) text += end;
    text += *line;
  }
  return text;
}

std::string base64_of_bytes(std::size_t count, char byte) { return to_base64(std::string(count, byte)); }

TEST(ReleaseKey, TextsComeBackAsTheirValues) {
  const crypto::KeyPair pair = sample_pair();
  const std::string text = public_key_text(pair.public_key);
  EXPECT_EQ(text.rfind("qor-p256-public:", 0), 0u);
  EXPECT_EQ(text.find_first_of(" \r\n"), std::string::npos);  // one word for a CMake cache variable
  for (const std::string& form : {text, "  " + text + "\r\n", "\n" + text + "\t"}) {
    const auto key = read_public_key_text(form);
    ASSERT_TRUE(key) << form << ": " << key.failure().reason;
    EXPECT_EQ(*key, pair.public_key);
  }

  const auto read_pair = read_private_key_file_text(private_key_file_text(pair));
  ASSERT_TRUE(read_pair) << read_pair.failure().reason;
  EXPECT_EQ(read_pair->secret, pair.secret);
  EXPECT_EQ(read_pair->public_key, pair.public_key);

  const std::string signature_file = signature_file_text(sample_signature());
  EXPECT_EQ(signature_file.rfind("qor-p256-signature:", 0), 0u);
  EXPECT_EQ(signature_file.find('\n'), signature_file.size() - 1);
  const auto signature = read_signature_file_text(signature_file);
  ASSERT_TRUE(signature) << signature.failure().reason;
  EXPECT_EQ(*signature, sample_signature());
}

TEST(ReleaseKey, APrivateKeyFileTakesCommentsAndLineEndsOfEitherKind) {
  const crypto::KeyPair pair = sample_pair();
  const std::string secret_line = "qor-p256-private:" + to_base64(std::string(pair.secret.begin(), pair.secret.end()));
  const std::string public_line = public_key_text(pair.public_key);
  // CR LF with a comment first; LF with the public line first, a blank line and no last line end.
  for (const std::string& file : {joined({"# key", secret_line, public_line, ""}, "\r\n"),
                                  joined({public_line, "", "# moved", secret_line}, "\n")}) {
    const auto read = read_private_key_file_text(file);
    ASSERT_TRUE(read) << read.failure().reason;
    EXPECT_EQ(read->secret, pair.secret);
  }
}

TEST(ReleaseKey, BrokenTextsAreRefusedWithAReason) {
  const crypto::KeyPair pair = sample_pair();
  const std::string key = public_key_text(pair.public_key);
  crypto::PublicKey compressed_form = pair.public_key;
  compressed_form[0] = 0x03;
  const std::string not_a_point =
      "qor-p256-public:" + to_base64(std::string(compressed_form.begin(), compressed_form.end()));

  struct Case {
    std::string text, what;
  };
  const std::vector<Case> public_keys = {
      {"", "empty"},
      {key.substr(0, key.size() - 4), "truncated"},
      {key.substr(0, 16), "prefix alone"},
      {"QOR-P256-PUBLIC:" + key.substr(16), "prefix in capitals"},
      {"qor-p256-private:" + key.substr(16), "another kind of key"},
      {" qor-p256-public: " + key.substr(16), "blank after the prefix"},
      {key.substr(0, 20) + "*" + key.substr(21), "bad base64"},
      {key + "==", "bad padding"},
      {"qor-p256-public:" + base64_of_bytes(64, 4), "64 bytes"},
      {"qor-p256-public:" + base64_of_bytes(66, 4), "66 bytes"},
      {not_a_point, "no uncompressed point"},
      {key + "\n" + key, "two keys"},
  };
  for (const Case& c : public_keys) {
    const auto read = read_public_key_text(c.text);
    EXPECT_FALSE(read) << c.what;
    if (!read) {
      EXPECT_NE(read.failure().reason.find("public key"), std::string::npos) << c.what;
    }
  }

  const std::string signature = signature_file_text(sample_signature());
  const std::vector<Case> signatures = {
      {"", "empty"},
      {signature.substr(0, signature.size() - 5) + "\n", "truncated"},
      {"qor-p256-public:" + signature.substr(19), "another prefix"},
      {"qor-p256-signature:" + base64_of_bytes(65, 1), "65 bytes"},
      {"qor-p256-signature:" + base64_of_bytes(63, 1), "63 bytes"},
      {"qor-p256-signature:" + base64_of_bytes(64, 1) + "x", "a character too many"},
  };
  for (const Case& c : signatures) EXPECT_FALSE(read_signature_file_text(c.text)) << c.what;

  const std::string file = private_key_file_text(pair);
  const std::string secret_line =
      file.substr(file.find("qor-p256-private:"), file.find("qor-p256-public:") - file.find("qor-p256-private:"));
  const std::vector<Case> files = {
      {"", "empty"},
      {secret_line, "public line missing"},
      {key, "private line missing"},
      {file + key + "\n", "two public lines"},
      {file + secret_line, "two private lines"},
      {file + "trailing words\n", "a line that is no key"},
      {"qor-p256-private:" + base64_of_bytes(31, 1) + "\n" + key, "31-byte secret"},
      {"qor-p256-private:" + base64_of_bytes(33, 1) + "\n" + key, "33-byte secret"},
      {secret_line + not_a_point, "public line no point"},
  };
  for (const Case& c : files) EXPECT_FALSE(read_private_key_file_text(c.text)) << c.what;
}

}  // namespace
}  // namespace qor::release
