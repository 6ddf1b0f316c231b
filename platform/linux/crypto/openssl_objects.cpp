#include "platform/linux/crypto/openssl_objects.hpp"

#include <openssl/err.h>

namespace qor::crypto::openssl {

Failure openssl_failure(const std::string& what) {
  Failure failure{what, 0};
  bool first = true;
  while (const unsigned long code = ERR_get_error()) {
    char words[256];
    ERR_error_string_n(code, words, sizeof words);
    failure.reason += first ? ": " : "; ";
    failure.reason += words;
    if (first) failure.code = static_cast<long>(code);
    first = false;
  }
  if (first) failure.reason += ": libcrypto gave no reason";
  return failure;
}

}  // namespace qor::crypto::openssl
