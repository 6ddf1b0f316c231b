#include "server/answer_grammar.hpp"

#include <charconv>

namespace qor::answer {

bool is_blank(std::string_view piece) { return piece.find_first_not_of(' ') == std::string_view::npos; }

PieceRange::iterator::iterator(const PieceRange& range)
    : text_(range.text_), separator_(range.separator_), skip_blank_(range.skip_blank_), start_(0) {
  take();
}

void PieceRange::iterator::take() {
  for (;;) {
    if (start_ == kEnd) {
      piece_ = {};
      return;
    }
    // An empty separator divides nothing: the text is one piece.
    const std::size_t at = separator_.empty() ? std::string_view::npos : text_.find(separator_, start_);
    if (at == std::string_view::npos) {
      piece_ = text_.substr(start_);
      next_ = kEnd;
    } else {
      piece_ = text_.substr(start_, at - start_);
      next_ = at + separator_.size();
    }
    if (!skip_blank_ || !is_blank(piece_)) return;
    start_ = next_;
  }
}

PieceRange::iterator& PieceRange::iterator::operator++() {
  start_ = next_;
  take();
  return *this;
}

PieceRange split(std::string_view text, std::string_view separator) { return {text, separator, false}; }

PieceRange record_list(std::string_view answer) { return {answer, kRecordSeparator, true}; }

PieceRange field_list(std::string_view answer) { return {answer, kFieldSeparator, true}; }

PieceRange record_fields(std::string_view record) { return {record, kFieldSeparator, false}; }

std::optional<std::string_view> whole_field_value(std::string_view record, std::string_view key) {
  const PieceRange fields = record_fields(record);
  auto field = fields.begin();
  if (field == fields.end() || *field != key || ++field == fields.end()) return std::nullopt;
  return *field;
}

std::optional<std::string_view> keyed_value(std::string_view text, std::string_view key) {
  if (!text.starts_with(key)) return std::nullopt;
  return text.substr(key.size());
}

std::string_view without_final_line_break(std::string_view text) {
  if (text.ends_with("\r\n")) return text.substr(0, text.size() - 2);
  if (text.ends_with('\n')) return text.substr(0, text.size() - 1);
  return text;
}

std::optional<std::int64_t> decimal_integer(std::string_view text) {
  constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
  // from_chars takes a "-" but not a "+"; a lone sign or a second sign is no number.
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.starts_with('-')) return std::nullopt;
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace qor::answer
