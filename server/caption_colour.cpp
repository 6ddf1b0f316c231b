#include "server/caption_colour.hpp"

#include "server/answer_grammar.hpp"

namespace qor {

std::optional<std::int32_t> parse_colour(std::string_view text) { return answer::integer_value<std::int32_t>(text); }

}  // namespace qor
