// The text forms of a release's keys and signatures: one line each, the same
// on every platform. The public key's text is what a client's build carries
// (QOR_RELEASE_KEY); the private key's file stays with the vendor.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "portable/release/crypto_values.hpp"
#include "portable/result/result.hpp"

namespace qor::release {

// "qor-p256-public:" and the key's 65 bytes in base64.
std::string public_key_text(const crypto::PublicKey& key);
// The key of such a text; surrounding blanks and line ends are allowed.
Result<crypto::PublicKey> read_public_key_text(std::string_view text);

// The private key's file: a comment line, "qor-p256-private:" with the
// scalar, and the public key's line.
std::string private_key_file_text(const crypto::KeyPair& key);
Result<crypto::KeyPair> read_private_key_file_text(std::string_view text);

// The signature file: "qor-p256-signature:" and the 64 bytes in base64,
// one line.
std::string signature_file_text(const crypto::Signature& signature);
Result<crypto::Signature> read_signature_file_text(std::string_view text);

}  // namespace qor::release
