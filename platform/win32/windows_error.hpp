// Failures of Windows calls: what was attempted, the error code and the
// system's words for it.
#pragma once

#include <string>

#include "portable/result/result.hpp"

namespace qor::win32 {

// "<what>: error <code>: <the system's message>" with code in Failure::code.
// Codes of WinINet (12000-12175) are looked up in its own messages. Callers
// take GetLastError() right after the failing call, before building texts.
Failure windows_failure(const std::string& what, unsigned long code);

// "<what>: HRESULT 0x80070005: <the system's message>" for COM and shell calls.
Failure hresult_failure(const std::string& what, long result);

}  // namespace qor::win32
