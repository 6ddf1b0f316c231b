// ECDSA over P-256 with SHA-256 on libcrypto's EVP keys. Keys are built from
// their raw bytes (EVP_PKEY_fromdata); libcrypto's signatures are DER, the
// release's are r || s: ECDSA_SIG converts between the two.
#include <openssl/core_names.h>
#include <openssl/err.h>

#include <cstring>
#include <vector>

#include "platform/linux/crypto/openssl_objects.hpp"
#include "platform/release_crypto.hpp"

namespace qor::crypto {

using namespace openssl;

namespace {

constexpr char kCurve[] = "prime256v1";
constexpr std::size_t kHalf = Signature{}.size() / 2;

// A key of P-256 from its public point and, for signing, its secret. The
// point must lie on the curve: libcrypto's own check, not a trust in bytes
// a build or a key file carries.
Result<UniqueKey> key_of(const PublicKey& public_key, const PrivateScalar* secret) {
  // libcrypto would also take the hybrid form (06 or 07); a key is 04 || X || Y
  // alone, as on every platform.
  if (public_key[0] != 0x04) return Failure{"P-256 key: the public key is no uncompressed point (04 || X || Y)", 0};
  const UniqueParamBuilder builder(OSSL_PARAM_BLD_new());
  UniqueSecretNumber scalar(secret != nullptr ? BN_secure_new() : nullptr);
  if (scalar && BN_bin2bn(secret->data(), static_cast<int>(secret->size()), scalar.get()) == nullptr) scalar.reset();
  if (!builder || (secret != nullptr && !scalar) ||
      OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, kCurve, 0) != 1 ||
      OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, public_key.data(), public_key.size()) !=
          1 ||
      (scalar && OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PRIV_KEY, scalar.get()) != 1))
    return openssl_failure("P-256 key: parameters");
  const UniqueParams params(OSSL_PARAM_BLD_to_param(builder.get()));
  const UniqueKeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1) return openssl_failure("P-256 key: import");
  EVP_PKEY* made = nullptr;
  if (EVP_PKEY_fromdata(context.get(), &made, secret != nullptr ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                        params.get()) != 1)
    return openssl_failure("P-256 key: the public key is no point of the curve");
  UniqueKey key(made);
  const UniqueKeyContext check(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
  if (!check || EVP_PKEY_public_check(check.get()) != 1)
    return openssl_failure("P-256 key: the public key is no point of the curve");
  return key;
}

// The DER form libcrypto verifies, of r || s.
Result<std::vector<unsigned char>> der_of(const Signature& signature) {
  const UniqueEcdsaSignature value(ECDSA_SIG_new());
  UniqueNumber r(BN_bin2bn(signature.data(), kHalf, nullptr));
  UniqueNumber s(BN_bin2bn(signature.data() + kHalf, kHalf, nullptr));
  if (!value || !r || !s || ECDSA_SIG_set0(value.get(), r.get(), s.get()) != 1)
    return openssl_failure("ECDSA signature");
  static_cast<void>(r.release());  // the signature owns them now
  static_cast<void>(s.release());
  unsigned char* bytes = nullptr;
  const int length = i2d_ECDSA_SIG(value.get(), &bytes);
  const UniqueBytes owned(bytes);
  if (length <= 0) return openssl_failure("ECDSA signature: DER");
  return std::vector<unsigned char>(bytes, bytes + length);
}

// r || s of libcrypto's DER signature.
Result<Signature> raw_of(const std::vector<unsigned char>& der) {
  const unsigned char* read = der.data();
  const UniqueEcdsaSignature value(d2i_ECDSA_SIG(nullptr, &read, static_cast<long>(der.size())));
  if (!value) return openssl_failure("ECDSA signature: DER");
  const BIGNUM* r = nullptr;
  const BIGNUM* s = nullptr;
  ECDSA_SIG_get0(value.get(), &r, &s);
  Signature signature{};
  if (BN_bn2binpad(r, signature.data(), kHalf) != kHalf || BN_bn2binpad(s, signature.data() + kHalf, kHalf) != kHalf)
    return openssl_failure("ECDSA signature: r or s longer than 32 bytes");
  return signature;
}

}  // namespace

Status verify_signature(const PublicKey& key, std::string_view message, const Signature& signature) {
  ERR_clear_error();
  const auto public_key = key_of(key, nullptr);
  if (!public_key) return public_key.failure();
  const auto der = der_of(signature);
  if (!der) return der.failure();
  const UniqueDigestContext context(EVP_MD_CTX_new());
  if (!context || EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, public_key->get()) != 1)
    return openssl_failure("ECDSA verify: start");
  const int verdict = EVP_DigestVerify(context.get(), der->data(), der->size(),
                                       reinterpret_cast<const unsigned char*>(message.data()), message.size());
  if (verdict == 1) return {};
  // 0 is a signature that does not match; below 0 one libcrypto cannot take
  // (r or s out of range), which does not match either.
  Failure failure = openssl_failure("ECDSA verify: the signature does not match the message under the key");
  if (verdict == 0) failure.code = 0;
  return failure;
}

Result<KeyPair> generate_key_pair() {
  ERR_clear_error();
  const UniqueKey key(EVP_EC_gen(kCurve));
  if (!key) return openssl_failure("P-256 key generation");
  KeyPair pair;
  std::size_t length = 0;
  if (EVP_PKEY_get_octet_string_param(key.get(), OSSL_PKEY_PARAM_PUB_KEY, pair.public_key.data(),
                                      pair.public_key.size(), &length) != 1 ||
      length != pair.public_key.size() || pair.public_key[0] != 0x04)
    return openssl_failure("P-256 key generation: the public key");
  BIGNUM* secret = nullptr;
  if (EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &secret) != 1)
    return openssl_failure("P-256 key generation: the secret");
  const UniqueSecretNumber owned(secret);
  if (BN_bn2binpad(secret, pair.secret.data(), static_cast<int>(pair.secret.size())) != int(pair.secret.size()))
    return openssl_failure("P-256 key generation: the secret is longer than 32 bytes");
  return pair;
}

Result<Signature> sign_message(const KeyPair& pair, std::string_view message) {
  ERR_clear_error();
  const auto key = key_of(pair.public_key, &pair.secret);
  if (!key) return key.failure();
  const UniqueDigestContext context(EVP_MD_CTX_new());
  if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key->get()) != 1)
    return openssl_failure("ECDSA sign: start");
  std::vector<unsigned char> der(static_cast<std::size_t>(EVP_PKEY_get_size(key->get())));
  std::size_t length = der.size();
  if (EVP_DigestSign(context.get(), der.data(), &length, reinterpret_cast<const unsigned char*>(message.data()),
                     message.size()) != 1)
    return openssl_failure("ECDSA sign");
  der.resize(length);
  auto signature = raw_of(der);
  if (!signature) return signature;
  // A secret that is not the public key's would sign releases no client
  // accepts: found here, not by every client.
  if (!verify_signature(pair.public_key, message, *signature))
    return Failure{"ECDSA sign: the secret does not belong to the public key", 0};
  return signature;
}

}  // namespace qor::crypto
