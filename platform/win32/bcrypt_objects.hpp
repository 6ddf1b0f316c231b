// CNG's algorithm providers, keys and hashes owned as unique_ptr, and the
// reasons for its NTSTATUS codes.
#pragma once

#include <memory>
#include <string>

#include "portable/result/result.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"
// After it: CNG needs <windows.h> first.
#include <bcrypt.h>

namespace qor::win32 {

struct CloseAlgorithm {
  void operator()(BCRYPT_ALG_HANDLE algorithm) const { BCryptCloseAlgorithmProvider(algorithm, 0); }
};
struct DestroyKey {
  void operator()(BCRYPT_KEY_HANDLE key) const { BCryptDestroyKey(key); }
};
struct DestroyHash {
  void operator()(BCRYPT_HASH_HANDLE hash) const { BCryptDestroyHash(hash); }
};
using UniqueAlgorithm = std::unique_ptr<void, CloseAlgorithm>;
using UniqueKey = std::unique_ptr<void, DestroyKey>;
using UniqueHash = std::unique_ptr<void, DestroyHash>;

// "<what>: NTSTATUS 0xC000A000: <words>", the status in Failure::code.
Failure ntstatus_failure(const std::string& what, NTSTATUS status);

// The provider of `algorithm` (BCRYPT_SHA256_ALGORITHM, ...).
Result<UniqueAlgorithm> open_algorithm(const wchar_t* algorithm);

}  // namespace qor::win32
