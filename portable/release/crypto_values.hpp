// The values a signed release's cryptography works on, as plain bytes in one
// form on every platform, so that a release signed on one platform is
// verified on the other.
#pragma once

#include <array>
#include <cstdint>

namespace qor::crypto {

using Sha256Digest = std::array<std::uint8_t, 32>;
// The uncompressed point 0x04 || X || Y on P-256.
using PublicKey = std::array<std::uint8_t, 65>;
// The secret scalar d, big-endian.
using PrivateScalar = std::array<std::uint8_t, 32>;
// r || s, each big-endian in 32 bytes.
using Signature = std::array<std::uint8_t, 64>;

struct KeyPair {
  PrivateScalar secret{};
  PublicKey public_key{};
};

}  // namespace qor::crypto
