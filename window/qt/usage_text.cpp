// Text before the window on Linux: the program has the terminal it was
// started from, or whatever its standard streams lead to.
#include <cstdio>

#include "window/form_toolkit.hpp"

namespace qor {

void show_usage_text(const std::string& text, bool is_error) { std::fputs(text.c_str(), is_error ? stderr : stdout); }

}  // namespace qor
