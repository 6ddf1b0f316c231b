// OpenSSL's objects owned as unique_ptr, each freed by its own function
// (secrets cleared first), and the reasons OpenSSL gives for a failure.
#pragma once

#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/params.h>

#include <memory>
#include <string>

#include "portable/result/result.hpp"

namespace qor::crypto::openssl {

template <auto free_function>
struct FreeWith {
  template <class T>
  void operator()(T* object) const {
    free_function(object);
  }
};

struct FreeBytes {
  void operator()(unsigned char* bytes) const { OPENSSL_free(bytes); }
};

using UniqueDigestContext = std::unique_ptr<EVP_MD_CTX, FreeWith<&EVP_MD_CTX_free>>;
using UniqueKey = std::unique_ptr<EVP_PKEY, FreeWith<&EVP_PKEY_free>>;
using UniqueKeyContext = std::unique_ptr<EVP_PKEY_CTX, FreeWith<&EVP_PKEY_CTX_free>>;
using UniqueNumber = std::unique_ptr<BIGNUM, FreeWith<&BN_free>>;
using UniqueSecretNumber = std::unique_ptr<BIGNUM, FreeWith<&BN_clear_free>>;
using UniqueEcdsaSignature = std::unique_ptr<ECDSA_SIG, FreeWith<&ECDSA_SIG_free>>;
using UniqueParamBuilder = std::unique_ptr<OSSL_PARAM_BLD, FreeWith<&OSSL_PARAM_BLD_free>>;
// Built from a secure number, the secret's copy is cleared when freed.
using UniqueParams = std::unique_ptr<OSSL_PARAM, FreeWith<&OSSL_PARAM_free>>;
using UniqueBytes = std::unique_ptr<unsigned char, FreeBytes>;

// "<what>: <OpenSSL's reasons, oldest first>", the first error's code in
// Failure::code; OpenSSL's error queue is empty afterwards.
Failure openssl_failure(const std::string& what);

}  // namespace qor::crypto::openssl
