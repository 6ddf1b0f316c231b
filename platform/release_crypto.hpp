// The cryptography of a signed release, from the platform's own library
// (OpenSSL's libcrypto on Linux, CNG on Windows; none of it written here):
// SHA-256, and ECDSA over the curve P-256 with SHA-256, on the values of
// portable/release/crypto_values.hpp.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "portable/release/crypto_values.hpp"
#include "portable/result/result.hpp"

namespace qor::crypto {

// A running SHA-256, fed as the bytes arrive, so a download is hashed
// without reading its file again.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(Sha256&&) noexcept;
  Sha256& operator=(Sha256&&) noexcept;
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void add(const char* data, std::size_t size);
  void add(std::string_view bytes) { add(bytes.data(), bytes.size()); }
  // The digest of everything added; the hash starts afresh after it.
  Sha256Digest finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

Sha256Digest sha256(std::string_view bytes);

// Success when `signature` is the signature of `message` under `key`; the
// reason otherwise (a key that is no point of the curve, a signature that
// does not match).
Status verify_signature(const PublicKey& key, std::string_view message, const Signature& signature);

// A new key pair from the platform's random source.
Result<KeyPair> generate_key_pair();

// The signature of `message` with `key`.
Result<Signature> sign_message(const KeyPair& key, std::string_view message);

}  // namespace qor::crypto
