#include "answer_text.hpp"

#include "text_encoding.hpp"

namespace qor {

std::string answer_text(std::string_view body) {
  // Servers end an answer with a line break after its last field. Left on,
  // it would make the check's "ok" no "ok", the password a refused one, and
  // the last folder a new folder with a line break in its name. CR and LF
  // are single bytes in UTF-8 and in Windows-1252 alike, so dropping them
  // first leaves the choice of encoding as it was.
  body.remove_suffix(body.size() - (body.find_last_not_of("\r\n") + 1));
  if (is_valid_utf8(body)) {
    if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
    return std::string(body);
  }
  return windows1252_to_utf8(body);
}

}  // namespace qor
