// Base64 (RFC 4648, the standard alphabet with padding) for the one-line
// texts of keys and signatures. Reading is strict, so that one value has one
// text: anything but the alphabet, padding anywhere but at the end, a length
// that is no multiple of four, or bits beyond the last byte are refused.
#pragma once

#include <string>
#include <string_view>

#include "portable/result/result.hpp"

namespace qor {

std::string to_base64(std::string_view bytes);
Result<std::string> from_base64(std::string_view text);

}  // namespace qor
