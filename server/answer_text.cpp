#include "server/answer_text.hpp"

#include "portable/text/text_encoding.hpp"

namespace qor {

std::string answer_text(std::string_view body) {
  if (is_valid_utf8(body)) {
    if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
    return std::string(body);
  }
  return windows1252_to_utf8(body);
}

}  // namespace qor
