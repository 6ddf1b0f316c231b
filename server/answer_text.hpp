// How an answer's bytes become text: UTF-8 when they are valid UTF-8,
// otherwise Windows-1252, converted to UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace qor {

// The answer text of a body. A leading UTF-8 byte-order mark is dropped: it
// is not part of the text and would hide the first key.
std::string answer_text(std::string_view body);

}  // namespace qor
