#include "platform/win32/bcrypt_objects.hpp"

#include <cstdio>

namespace qor::win32 {

namespace {

// The codes CNG returns, in words that are the same on every Windows and
// under Wine.
const char* words_of(NTSTATUS status) {
  switch (static_cast<unsigned long>(status)) {
    case 0xC000A000:
      return "the signature is invalid";
    case 0xC000000D:
      return "an invalid parameter was passed";
    case 0xC0000008:
      return "an invalid handle was passed";
    case 0xC0000017:
      return "not enough memory";
    case 0xC00000BB:
      return "not supported";
    case 0xC0000225:
      return "not found";
    case 0xC0000023:
    case 0x80000005:
      return "the buffer is too small";
    case 0xC0000206:
      return "the buffer has the wrong size";
    case 0xC0000001:
      return "the operation was unsuccessful";
    default:
      return "unknown status";
  }
}

}  // namespace

Failure ntstatus_failure(const std::string& what, NTSTATUS status) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
  return {what + ": NTSTATUS " + code + ": " + words_of(status), static_cast<long>(status)};
}

Result<UniqueAlgorithm> open_algorithm(const wchar_t* algorithm) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  const NTSTATUS status = BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0);
  if (!BCRYPT_SUCCESS(status)) return ntstatus_failure("BCryptOpenAlgorithmProvider", status);
  return UniqueAlgorithm(handle);
}

}  // namespace qor::win32
