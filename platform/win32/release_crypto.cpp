// SHA-256 and ECDSA P-256 on CNG (bcrypt.dll, on every Windows since
// Vista). CNG's key blobs hold the point's X and Y (and the secret d) behind
// a small header, its signatures are r || s already, and it signs and
// verifies a digest: the message is hashed here first.
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/release_crypto.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/bcrypt_objects.hpp"

namespace qor::crypto {

using win32::ntstatus_failure;
using win32::open_algorithm;

namespace {

constexpr std::size_t kCoordinate = 32;

// A hash that cannot be made or fed means CNG is out of memory or unusable:
// that throws, as running out of memory does elsewhere, rather than yield a
// digest of bytes it never saw.
[[noreturn]] void unusable(const Failure& failure) { throw std::runtime_error("SHA-256: " + failure.reason); }

win32::UniqueHash new_hash(BCRYPT_ALG_HANDLE algorithm) {
  BCRYPT_HASH_HANDLE hash = nullptr;
  const NTSTATUS status = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
  if (!BCRYPT_SUCCESS(status)) unusable(ntstatus_failure("BCryptCreateHash", status));
  return win32::UniqueHash(hash);
}

// A key blob with its secret, wiped when it goes.
struct KeyBlob {
  std::vector<UCHAR> bytes;
  ~KeyBlob() { SecureZeroMemory(bytes.data(), bytes.size()); }
};

// The blob of P-256's point (and secret): the header, X, Y (, d).
KeyBlob blob_of(const PublicKey& key, const PrivateScalar* secret) {
  const BCRYPT_ECCKEY_BLOB header{
      secret != nullptr ? ULONG{BCRYPT_ECDSA_PRIVATE_P256_MAGIC} : ULONG{BCRYPT_ECDSA_PUBLIC_P256_MAGIC}, kCoordinate};
  KeyBlob blob;
  blob.bytes.resize(sizeof header + 2 * kCoordinate + (secret != nullptr ? kCoordinate : 0));
  std::memcpy(blob.bytes.data(), &header, sizeof header);
  std::copy(key.begin() + 1, key.end(), blob.bytes.begin() + sizeof header);
  if (secret != nullptr) std::copy(secret->begin(), secret->end(), blob.bytes.end() - kCoordinate);
  return blob;
}

Result<win32::UniqueKey> import_key(BCRYPT_ALG_HANDLE algorithm, const PublicKey& key, const PrivateScalar* secret) {
  // CNG's blobs carry no form: a key is 04 || X || Y alone, as on every platform.
  if (key[0] != 0x04) return Failure{"P-256 key: the public key is no uncompressed point (04 || X || Y)", 0};
  KeyBlob blob = blob_of(key, secret);
  BCRYPT_KEY_HANDLE handle = nullptr;
  const NTSTATUS status =
      BCryptImportKeyPair(algorithm, nullptr, secret != nullptr ? BCRYPT_ECCPRIVATE_BLOB : BCRYPT_ECCPUBLIC_BLOB,
                          &handle, blob.bytes.data(), static_cast<ULONG>(blob.bytes.size()), 0);
  if (!BCRYPT_SUCCESS(status))
    return ntstatus_failure("P-256 key: the public key is no point of the curve (BCryptImportKeyPair)", status);
  return win32::UniqueKey(handle);
}

}  // namespace

struct Sha256::State {
  win32::UniqueAlgorithm algorithm;
  win32::UniqueHash hash;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  auto algorithm = open_algorithm(BCRYPT_SHA256_ALGORITHM);
  if (!algorithm) unusable(algorithm.failure());
  state_->algorithm = std::move(*algorithm);
  state_->hash = new_hash(state_->algorithm.get());
}
Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::add(const char* data, std::size_t size) {
  // CNG takes at most 4 GiB at once.
  constexpr std::size_t kMostAtOnce = std::size_t{1} << 30;
  while (size > 0) {
    const std::size_t piece = std::min(size, kMostAtOnce);
    const NTSTATUS status = BCryptHashData(state_->hash.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(data)),
                                           static_cast<ULONG>(piece), 0);
    if (!BCRYPT_SUCCESS(status)) unusable(ntstatus_failure("BCryptHashData", status));
    data += piece;
    size -= piece;
  }
}

Sha256Digest Sha256::finish() {
  Sha256Digest digest{};
  const NTSTATUS status = BCryptFinishHash(state_->hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
  if (!BCRYPT_SUCCESS(status)) unusable(ntstatus_failure("BCryptFinishHash", status));
  // A finished CNG hash takes nothing more: the next one is a new hash.
  state_->hash = new_hash(state_->algorithm.get());
  return digest;
}

Sha256Digest sha256(std::string_view bytes) {
  Sha256 hash;
  hash.add(bytes);
  return hash.finish();
}

Status verify_signature(const PublicKey& key, std::string_view message, const Signature& signature) {
  const auto algorithm = open_algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  if (!algorithm) return algorithm.failure();
  const auto public_key = import_key(algorithm->get(), key, nullptr);
  if (!public_key) return public_key.failure();
  Sha256Digest digest = sha256(message);
  Signature copy = signature;  // CNG takes it through a pointer to non-const
  const NTSTATUS status =
      BCryptVerifySignature(public_key->get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()), copy.data(),
                            static_cast<ULONG>(copy.size()), 0);
  if (BCRYPT_SUCCESS(status)) return {};
  return ntstatus_failure("ECDSA verify: the signature does not match the message under the key", status);
}

Result<KeyPair> generate_key_pair() {
  const auto algorithm = open_algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  if (!algorithm) return algorithm.failure();
  BCRYPT_KEY_HANDLE handle = nullptr;
  NTSTATUS status = BCryptGenerateKeyPair(algorithm->get(), &handle, 256, 0);
  if (!BCRYPT_SUCCESS(status)) return ntstatus_failure("P-256 key generation (BCryptGenerateKeyPair)", status);
  const win32::UniqueKey key(handle);
  status = BCryptFinalizeKeyPair(key.get(), 0);
  if (!BCRYPT_SUCCESS(status)) return ntstatus_failure("P-256 key generation (BCryptFinalizeKeyPair)", status);
  KeyBlob blob;
  blob.bytes.resize(sizeof(BCRYPT_ECCKEY_BLOB) + 3 * kCoordinate);
  ULONG size = 0;
  status = BCryptExportKey(key.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.bytes.data(),
                           static_cast<ULONG>(blob.bytes.size()), &size, 0);
  if (!BCRYPT_SUCCESS(status)) return ntstatus_failure("P-256 key generation (BCryptExportKey)", status);
  BCRYPT_ECCKEY_BLOB header{};
  std::memcpy(&header, blob.bytes.data(), sizeof header);
  if (size != blob.bytes.size() || header.dwMagic != BCRYPT_ECDSA_PRIVATE_P256_MAGIC || header.cbKey != kCoordinate)
    return Failure{"P-256 key generation: BCryptExportKey gave no P-256 private key", 0};
  KeyPair pair;
  const auto x = blob.bytes.begin() + sizeof header;
  pair.public_key[0] = 0x04;
  std::copy(x, x + 2 * kCoordinate, pair.public_key.begin() + 1);
  std::copy(x + 2 * kCoordinate, blob.bytes.end(), pair.secret.begin());
  return pair;
}

Result<Signature> sign_message(const KeyPair& pair, std::string_view message) {
  const auto algorithm = open_algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  if (!algorithm) return algorithm.failure();
  const auto key = import_key(algorithm->get(), pair.public_key, &pair.secret);
  if (!key) return key.failure();
  Sha256Digest digest = sha256(message);
  Signature signature{};
  ULONG size = 0;
  const NTSTATUS status = BCryptSignHash(key->get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                         signature.data(), static_cast<ULONG>(signature.size()), &size, 0);
  if (!BCRYPT_SUCCESS(status)) return ntstatus_failure("ECDSA sign (BCryptSignHash)", status);
  if (size != signature.size()) return Failure{"ECDSA sign: BCryptSignHash gave no r || s of 64 bytes", 0};
  // A secret that is not the public key's would sign releases no client
  // accepts: found here, not by every client.
  if (!verify_signature(pair.public_key, message, signature))
    return Failure{"ECDSA sign: the secret does not belong to the public key", 0};
  return signature;
}

}  // namespace qor::crypto
