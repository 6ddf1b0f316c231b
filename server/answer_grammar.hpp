// The one text format of the update server's answers: records split at "||",
// fields at "|", values recognised by an exact key at their start. Views
// point into the answer, so the answer must outlive them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <string_view>

namespace qor::answer {

inline constexpr std::string_view kRecordSeparator = "||";
inline constexpr std::string_view kFieldSeparator = "|";

// Empty once leading and trailing U+0020 are removed; tabs and line breaks
// are not removed, so they make a piece non-blank.
bool is_blank(std::string_view piece);

// The pieces of a text split at a separator, found one at a time while they
// are walked: nothing is copied and nothing is held beside the text, however
// many pieces an answer splits into. Left to right, non-overlapping,
// case-sensitive; the empty text gives no pieces, a text without the
// separator gives itself. With skip_blank, blank pieces are passed over.
// Iterators hold views of the text, not of the range, so they may outlive
// it, but not the text.
class PieceRange {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = const std::string_view*;
    using reference = std::string_view;

    iterator() = default;
    std::string_view operator*() const { return piece_; }
    iterator& operator++();
    iterator operator++(int) {
      iterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const iterator& other) const { return start_ == other.start_; }

   private:
    friend class PieceRange;
    explicit iterator(const PieceRange& range);
    // Takes the piece at start_, or ends the walk when start_ is kEnd.
    void take();

    static constexpr std::size_t kEnd = std::numeric_limits<std::size_t>::max();
    std::string_view text_;
    std::string_view separator_;
    bool skip_blank_ = false;
    std::size_t start_ = kEnd;
    std::size_t next_ = kEnd;  // start of the piece after this one
    std::string_view piece_;
  };

  PieceRange(std::string_view text, std::string_view separator, bool skip_blank)
      : text_(text), separator_(separator), skip_blank_(skip_blank) {}
  iterator begin() const { return text_.empty() ? end() : iterator(*this); }
  iterator end() const { return {}; }
  bool empty() const { return begin() == end(); }

 private:
  std::string_view text_;
  std::string_view separator_;
  bool skip_blank_;
};

// Every piece, empty ones included.
PieceRange split(std::string_view text, std::string_view separator);

// The non-blank records, untrimmed.
PieceRange record_list(std::string_view answer);
// The non-blank fields of an answer without a record level, untrimmed.
PieceRange field_list(std::string_view answer);
// Every field of one record, empty ones included.
PieceRange record_fields(std::string_view record);

// Whole-field key: the record's first field equals `key`; the value is the
// second field. None when the key differs or the record has no second field.
std::optional<std::string_view> whole_field_value(std::string_view record, std::string_view key);

// Three- and twelve-character keys ("fn=", "mainprogram="): the text starts
// with `key`; the value is the rest, possibly empty.
std::optional<std::string_view> keyed_value(std::string_view text, std::string_view key);

// The text without the one line break (CR LF or LF) that ends it, if any.
std::string_view without_final_line_break(std::string_view text);

// A number field (placement, colour): a decimal integer with an optional
// sign, read once the white space around it (space, tab, CR, LF, VT, FF) is
// removed, since servers end their last field with a line break. Texts are
// never trimmed. None for anything else, or beyond 64 bits.
std::optional<std::int64_t> decimal_integer(std::string_view text);

// The same, none when the number does not fit T.
template <class T>
std::optional<T> integer_value(std::string_view text) {
  const auto value = decimal_integer(text);
  if (!value || *value < std::numeric_limits<T>::min() || *value > std::numeric_limits<T>::max()) return std::nullopt;
  return static_cast<T>(*value);
}

}  // namespace qor::answer
