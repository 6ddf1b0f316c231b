// The one text format of the update server's answers: records split at "||",
// fields at "|", values recognised by an exact key at their start. Views
// point into the answer, so the answer must outlive them.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace qor::answer {

inline constexpr std::string_view kRecordSeparator = "||";
inline constexpr std::string_view kFieldSeparator = "|";

// Empty once leading and trailing U+0020 are removed; tabs and line breaks
// are not removed, so they make a piece non-blank.
bool is_blank(std::string_view piece);

// Left to right, non-overlapping, case-sensitive. The empty text gives no
// pieces; a text without the separator gives itself.
std::vector<std::string_view> split(std::string_view text, std::string_view separator);

// The non-blank records, untrimmed.
std::vector<std::string_view> record_list(std::string_view answer);
// The non-blank fields of an answer without a record level, untrimmed.
std::vector<std::string_view> field_list(std::string_view answer);
// Every field of one record, empty ones included.
std::vector<std::string_view> record_fields(std::string_view record);

// Whole-field key: the first field equals `key`; the value is the second
// field. None when the key differs or the record has no second field.
std::optional<std::string_view> whole_field_value(const std::vector<std::string_view>& fields, std::string_view key);

// Three- and twelve-character keys ("fn=", "mainprogram="): the text starts
// with `key`; the value is the rest, possibly empty.
std::optional<std::string_view> keyed_value(std::string_view text, std::string_view key);

}  // namespace qor::answer
