// ECDSA P-256 with SHA-256 of the platform's library: what it signs
// verifies; any change to the message, the signature or the key is refused
// without a crash, as are values no signature or key can have; signatures
// made by the other platform's library verify here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/release_crypto.hpp"
#include "tests/platform/contract/crypto/crypto_vectors.hpp"

namespace qor::crypto {
namespace {

using test::array_of_hex;
using test::hex_of;
using test::p256_vectors;

// The order n of P-256's group and the prime p of its field.
const std::string kOrder = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";
const std::string kPrime = "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff";

// Refused, with a reason.
void expect_refused(const PublicKey& key, std::string_view message, const Signature& signature,
                    const std::string& what) {
  const Status verdict = verify_signature(key, message, signature);
  EXPECT_FALSE(verdict) << what;
  if (!verdict) {
    EXPECT_FALSE(verdict.failure().reason.empty()) << what;
  }
}

KeyPair new_key_pair() {
  auto pair = generate_key_pair();
  if (!pair) ADD_FAILURE() << pair.failure().reason;
  return pair ? *pair : KeyPair{};
}

TEST(Ecdsa, WhatASecretSignsVerifiesUnderItsPublicKey) {
  const KeyPair pair = new_key_pair();
  std::string large(1 << 20, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7);
  for (const std::string& message : {std::string(), std::string("abc"), large}) {
    const auto signature = sign_message(pair, message);
    ASSERT_TRUE(signature) << signature.failure().reason;
    const Status verdict = verify_signature(pair.public_key, message, *signature);
    EXPECT_TRUE(verdict) << message.size() << " bytes: " << verdict.failure().reason;
  }
}

TEST(Ecdsa, AChangedMessageSignatureOrKeyIsRefused) {
  const KeyPair pair = new_key_pair();
  const std::string message = "sequence 12\nfile 3 ba78 abc\n";
  const auto signature = sign_message(pair, message);
  ASSERT_TRUE(signature) << signature.failure().reason;

  for (const std::size_t at : {std::size_t{0}, message.size() / 2, message.size() - 1}) {
    std::string changed = message;
    changed[at] ^= 0x01;
    expect_refused(pair.public_key, changed, *signature, "message byte " + std::to_string(at));
  }
  expect_refused(pair.public_key, message + '\0', *signature, "a byte appended");
  expect_refused(pair.public_key, message.substr(0, message.size() - 1), *signature, "a byte cut");
  for (const std::size_t at : {std::size_t{0}, std::size_t{31}, std::size_t{32}, std::size_t{63}}) {
    Signature changed = *signature;
    changed[at] ^= 0x80;
    expect_refused(pair.public_key, message, changed, "signature byte " + std::to_string(at));
  }
  expect_refused(new_key_pair().public_key, message, *signature, "another key");
  expect_refused(pair.public_key, message, p256_vectors().signatures.at("openssl"), "another key's signature");
}

TEST(Ecdsa, SignatureValuesOutOfRangeAreRefused) {
  const auto& v = p256_vectors();
  const Signature good = v.signatures.at("openssl");
  const std::string r = hex_of(good).substr(0, 64), s = hex_of(good).substr(64);
  const std::string zero(64, '0'), ones(64, 'f');
  const std::vector<std::pair<std::string, std::string>> cases = {
      {zero + s, "r zero"},  {r + zero, "s zero"},    {zero + zero, "both zero"}, {kOrder + s, "r = n"},
      {r + kOrder, "s = n"}, {ones + s, "r above n"}, {r + ones, "s above n"},
  };
  for (const auto& [hex, what] : cases) expect_refused(v.key.public_key, v.message, array_of_hex<64>(hex), what);
}

TEST(Ecdsa, KeysThatAreNoUncompressedPointOfTheCurveAreRefused) {
  const auto& v = p256_vectors();
  const Signature good = v.signatures.at("openssl");
  const std::string x = hex_of(v.key.public_key).substr(2, 64), y = hex_of(v.key.public_key).substr(66);
  std::string y_plus_one = y;
  y_plus_one.back() = y.back() == 'f' ? '0' : static_cast<char>(y.back() + 1);
  // Y odd: "07" would be the hybrid form of this very point, "03" its
  // compressed prefix. A key's text names the uncompressed form alone, on
  // every platform.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"04" + x + y_plus_one, "not on the curve"},
      {"04" + std::string(128, '0'), "(0, 0)"},
      {"04" + kPrime + y, "x = p"},
      {"04" + x + kPrime, "y = p"},
      {"00" + x + y, "prefix 00"},
      {"03" + x + y, "prefix 03"},
      {"07" + x + y, "prefix 07"},
  };
  for (const auto& [hex, what] : cases) {
    const PublicKey key = array_of_hex<65>(hex);
    expect_refused(key, v.message, good, what);
    EXPECT_FALSE(sign_message(KeyPair{v.key.secret, key}, v.message)) << what;
  }
}

TEST(Ecdsa, SignaturesOfEitherPlatformsLibraryVerify) {
  const auto& v = p256_vectors();
  ASSERT_EQ(v.signatures.size(), 3u);
  ASSERT_TRUE(v.signatures.count("openssl") && v.signatures.count("openssl-short") && v.signatures.count("cng"));
  for (const auto& [maker, signature] : v.signatures) {
    const Status verdict = verify_signature(v.key.public_key, v.message, signature);
    EXPECT_TRUE(verdict) << maker << ": " << verdict.failure().reason;
    expect_refused(v.key.public_key, v.message + "\n", signature, maker + ", message changed");
  }
  const auto here = sign_message(v.key, v.message);
  ASSERT_TRUE(here) << here.failure().reason;
  EXPECT_TRUE(verify_signature(v.key.public_key, v.message, *here));
}

// r and s each fill 32 bytes, a short one behind leading zeros: in 5000
// signatures one in about 128 is short.
TEST(Ecdsa, ShortROrSStandsBehindLeadingZeros) {
  const KeyPair pair = new_key_pair();
  const std::string message = "abc";
  int short_ones = 0;
  for (int i = 0; i < 5000 && short_ones < 2; ++i) {
    const auto signature = sign_message(pair, message);
    ASSERT_TRUE(signature) << signature.failure().reason;
    if ((*signature)[0] != 0 && (*signature)[32] != 0) continue;
    ++short_ones;
    EXPECT_TRUE(verify_signature(pair.public_key, message, *signature)) << hex_of(*signature);
  }
  EXPECT_EQ(short_ones, 2);
}

TEST(Ecdsa, GeneratedKeyPairsAreDistinctAndWork) {
  const KeyPair a = new_key_pair(), b = new_key_pair();
  EXPECT_NE(a.secret, b.secret);
  EXPECT_NE(a.public_key, b.public_key);
  EXPECT_NE(a.secret, PrivateScalar{});
  EXPECT_EQ(a.public_key[0], 0x04);
  const auto by_a = sign_message(a, "m"), by_b = sign_message(b, "m");
  ASSERT_TRUE(by_a && by_b);
  EXPECT_TRUE(verify_signature(a.public_key, "m", *by_a));
  EXPECT_TRUE(verify_signature(b.public_key, "m", *by_b));
  expect_refused(a.public_key, "m", *by_b, "b's signature under a's key");
}

// A key file whose two lines do not belong together signs nothing.
TEST(Ecdsa, ASecretThatIsNotThePublicKeysSignsNothing) {
  const KeyPair a = new_key_pair(), b = new_key_pair();
  const std::vector<std::pair<KeyPair, std::string>> cases = {
      {KeyPair{a.secret, b.public_key}, "another key's secret"},
      {KeyPair{PrivateScalar{}, a.public_key}, "secret zero"},
      {KeyPair{array_of_hex<32>(kOrder), a.public_key}, "secret n"},
  };
  for (const auto& [pair, what] : cases) {
    const auto signature = sign_message(pair, "m");
    EXPECT_FALSE(signature) << what;
    if (!signature) {
      EXPECT_FALSE(signature.failure().reason.empty()) << what;
    }
  }
}

}  // namespace
}  // namespace qor::crypto
