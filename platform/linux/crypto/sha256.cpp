// SHA-256 on libcrypto's EVP digests. A hash that cannot be started or fed
// means libcrypto is out of memory or unusable: that throws, as running out
// of memory does elsewhere, rather than yield a digest of bytes it never saw.
#include <stdexcept>

#include "platform/linux/crypto/openssl_objects.hpp"
#include "platform/release_crypto.hpp"

namespace qor::crypto {

using openssl::openssl_failure;

struct Sha256::State {
  openssl::UniqueDigestContext context{EVP_MD_CTX_new()};
};

namespace {

void start(EVP_MD_CTX* context) {
  if (context == nullptr || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error(openssl_failure("SHA-256: start").reason);
}

}  // namespace

Sha256::Sha256() : state_(std::make_unique<State>()) { start(state_->context.get()); }
Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::add(const char* data, std::size_t size) {
  if (size != 0 && EVP_DigestUpdate(state_->context.get(), data, size) != 1)
    throw std::runtime_error(openssl_failure("SHA-256: add").reason);
}

Sha256Digest Sha256::finish() {
  Sha256Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(state_->context.get(), digest.data(), &length) != 1 || length != digest.size())
    throw std::runtime_error(openssl_failure("SHA-256: finish").reason);
  start(state_->context.get());
  return digest;
}

Sha256Digest sha256(std::string_view bytes) {
  Sha256 hash;
  hash.add(bytes);
  return hash.finish();
}

}  // namespace qor::crypto
