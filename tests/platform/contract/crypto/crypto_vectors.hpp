// Bytes written in hexadecimal, and the fixed P-256 vectors of
// p256_vectors.txt (a key pair, a message, signatures made by each
// platform's library), for the cryptography suite on every platform.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

#include "portable/release/crypto_values.hpp"

namespace qor::test {

std::string bytes_of_hex(std::string_view hex);

template <std::size_t N>
std::array<std::uint8_t, N> array_of_hex(std::string_view hex) {
  const std::string bytes = bytes_of_hex(hex);
  if (bytes.size() != N) throw std::invalid_argument("wrong length: " + std::string(hex));
  std::array<std::uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = static_cast<std::uint8_t>(bytes[i]);
  return out;
}

template <std::size_t N>
std::string hex_of(const std::array<std::uint8_t, N>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t b : bytes) hex += {kDigits[b >> 4], kDigits[b & 15]};
  return hex;
}

struct P256Vectors {
  crypto::KeyPair key;
  std::string message;
  // By the library that made them ("openssl", "openssl-short", "cng").
  std::map<std::string, crypto::Signature> signatures;
};
const P256Vectors& p256_vectors();

}  // namespace qor::test
