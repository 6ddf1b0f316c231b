// The answer grammar on arbitrary answers: splitting must be lossless and
// leftmost, blank pieces (spaces only) and nothing else must be dropped, and
// every key form must give exactly the text after its key.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.hpp"
#include "server/answer_grammar.hpp"

namespace {

using qor::fuzz::check;
namespace answer = qor::answer;

bool only_spaces(std::string_view s) {
  for (char c : s)
    if (c != ' ') return false;
  return true;
}

bool points_into(std::string_view piece, std::string_view whole) {
  return piece.empty() || (piece.data() >= whole.data() && piece.data() + piece.size() <= whole.data() + whole.size());
}

using Views = std::vector<std::string_view>;

Views views(const answer::PieceRange& range) { return Views(range.begin(), range.end()); }

void check_split(std::string_view text, std::string_view sep) {
  const Views pieces = views(answer::split(text, sep));
  if (text.empty()) {
    check(pieces.empty(), "the empty text gives no pieces");
    return;
  }
  check(!pieces.empty(), "a non-empty text gives a piece");
  std::string joined;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    check(points_into(pieces[i], text), "pieces are views into the text");
    check(pieces[i].find(sep) == std::string_view::npos, "no piece holds the separator");
    if (i + 1 < pieces.size()) {
      // Leftmost: the separator after a piece is the first one from its start.
      check((std::string(pieces[i]) + std::string(sep)).find(sep) == pieces[i].size(), "split is leftmost");
      joined.append(pieces[i]).append(sep);
    } else {
      joined.append(pieces[i]);
    }
  }
  check(joined == text, "pieces joined by the separator give the text back");
}

void check_non_blank(const Views& kept, std::string_view text, std::string_view sep) {
  Views expected;
  for (auto piece : answer::split(text, sep))
    if (!only_spaces(piece)) expected.push_back(piece);
  check(kept == expected, "exactly the pieces of spaces only are dropped, the rest untrimmed");
}

void check_keyed(std::string_view text, std::string_view key) {
  const auto value = answer::keyed_value(text, key);
  const bool starts = text.size() >= key.size() && text.substr(0, key.size()) == key;
  check(value.has_value() == starts, "a key is recognised exactly at the start");
  if (value) check(*value == text.substr(key.size()) && points_into(*value, text), "the value is the rest");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  check_split(text, answer::kRecordSeparator);
  check_split(text, answer::kFieldSeparator);
  const Views records = views(answer::record_list(text));
  check_non_blank(records, text, answer::kRecordSeparator);
  check_non_blank(views(answer::field_list(text)), text, answer::kFieldSeparator);
  for (auto blank : {std::string_view(""), std::string_view("   ")}) check(answer::is_blank(blank), "spaces are blank");

  for (const std::string_view record : records) {
    const Views fields = views(answer::record_fields(record));
    check(fields == views(answer::split(record, answer::kFieldSeparator)), "a record's fields keep the empty ones");
    check_keyed(record, "mainprogram=");
    check_keyed(record, "updaprogram=");
    for (const std::string_view field : fields) {
      check_keyed(field, "fn=");
      check_keyed(field, "se=");
    }
    // A caption record keyed by its own first field, and by a key it lacks.
    const auto own = answer::whole_field_value(record, fields.front());
    check(own.has_value() == (fields.size() >= 2), "a whole-field key needs a second field");
    if (own) check(*own == fields[1] && points_into(*own, record), "the whole-field value is the second field in full");
    const std::string other = std::string(fields.front()) + "x";
    check(!answer::whole_field_value(record, other), "a whole-field key matches in full only");
  }
  return 0;
}
