#include "answer_grammar.hpp"

namespace qor::answer {

bool is_blank(std::string_view piece) { return piece.find_first_not_of(' ') == std::string_view::npos; }

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  if (text.empty()) return pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, at - start));
    start = at + separator.size();
  }
}

namespace {

std::vector<std::string_view> non_blank(std::vector<std::string_view> pieces) {
  std::erase_if(pieces, is_blank);
  return pieces;
}

}  // namespace

std::vector<std::string_view> record_list(std::string_view answer) {
  return non_blank(split(answer, kRecordSeparator));
}

std::vector<std::string_view> field_list(std::string_view answer) { return non_blank(split(answer, kFieldSeparator)); }

std::vector<std::string_view> record_fields(std::string_view record) { return split(record, kFieldSeparator); }

std::optional<std::string_view> whole_field_value(const std::vector<std::string_view>& fields, std::string_view key) {
  if (fields.size() < 2 || fields[0] != key) return std::nullopt;
  return fields[1];
}

std::optional<std::string_view> keyed_value(std::string_view text, std::string_view key) {
  if (!text.starts_with(key)) return std::nullopt;
  return text.substr(key.size());
}

}  // namespace qor::answer
