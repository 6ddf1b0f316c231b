// How much of a caption or message text a window shows. Texts from the
// server may be megabytes long; no label or message box can show more than a
// few screens of text, and laying out millions of characters holds the
// window for seconds and takes gigabytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qor {

// Characters (code points of the UTF-8 text) a window shows of one text.
inline constexpr std::size_t kShownTextCharacters = 4000;

// The text as a window shows it: whole when it has at most
// kShownTextCharacters characters, else its first kShownTextCharacters,
// cut between characters, followed by "…".
std::string shown_text(std::string_view text);

}  // namespace qor
