// Upper and lower case of UTF-8 names, independent of the locale. Letters of
// the Latin (ASCII, Latin-1, Latin Extended-A), Greek and Cyrillic blocks
// are mapped one to one (Unicode's simple mapping), which covers every
// letter a Windows-1252 name can hold; all other characters stay as they are.
#pragma once

#include <string>
#include <string_view>

namespace qor {

std::string to_lower_text(std::string_view utf8);
std::string to_upper_text(std::string_view utf8);

// The text with Unicode's simple case folding of the same letters (the lower
// case, with the few letters that have more than one lower form, such as
// final sigma, long s and the Greek symbol forms, brought to one). Two names
// are the same regardless of case exactly when their folded texts are equal.
std::string fold_case_text(std::string_view utf8);

}  // namespace qor
