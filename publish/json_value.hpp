// The little JSON the catalogue needs: objects keep their keys in the order
// written (captions are answered in that order), numbers are integers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "portable/result/result.hpp"

namespace qor::publish {

struct JsonMember;

struct JsonValue {
  enum class Kind { Null, Boolean, Number, Text, List, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::int64_t number = 0;
  std::string text;
  std::vector<JsonValue> list;
  std::vector<JsonMember> object;

  // The member of that key (the last one where it is given twice); null
  // when there is none or this is no object.
  const JsonValue* member(const std::string& key) const;
};

struct JsonMember {
  std::string key;
  JsonValue value;
};

// Strict JSON (RFC 8259) in UTF-8; numbers must be integers. A nesting
// deeper than 64 levels is refused rather than followed.
Result<JsonValue> parse_json(const std::string& text);

// The text as a JSON string literal: quotes, backslashes and control
// characters escaped, other characters written as they are (UTF-8).
std::string json_quoted(const std::string& text);

}  // namespace qor::publish
