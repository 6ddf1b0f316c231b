#include "publish/json_value.hpp"

#include <cstdio>

namespace qor::publish {
namespace {

constexpr int kDeepest = 64;

class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}

  Result<JsonValue> document() {
    JsonValue value;
    if (!read_value(value, 0)) return failed();
    skip_space();
    if (at_ != text_.size()) {
      reason_ = "text after the end of the document";
      return failed();
    }
    return value;
  }

 private:
  Failure failed() const { return Failure{"JSON at byte " + std::to_string(at_) + ": " + reason_}; }

  void skip_space() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }

  bool fail(const std::string& reason) {
    reason_ = reason;
    return false;
  }

  bool literal(const char* word) {
    const std::string w(word);
    if (text_.compare(at_, w.size(), w) != 0) return fail("unknown word");
    at_ += w.size();
    return true;
  }

  bool read_value(JsonValue& value, int depth) {
    if (depth > kDeepest) return fail("nested too deeply");
    skip_space();
    if (at_ >= text_.size()) return fail("unexpected end");
    const char c = text_[at_];
    if (c == '{') return read_object(value, depth);
    if (c == '[') return read_list(value, depth);
    if (c == '"') {
      value.kind = JsonValue::Kind::Text;
      return read_string(value.text);
    }
    if (c == 't' || c == 'f') {
      value.kind = JsonValue::Kind::Boolean;
      value.boolean = c == 't';
      return literal(c == 't' ? "true" : "false");
    }
    if (c == 'n') return literal("null");
    return read_number(value);
  }

  bool read_number(JsonValue& value) {
    const std::size_t start = at_;
    bool negative = false;
    if (text_[at_] == '-') {
      negative = true;
      ++at_;
    }
    const std::size_t digits = at_;
    std::int64_t n = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      if (n > (INT64_MAX - 9) / 10) return fail("number too large");
      n = n * 10 + (text_[at_] - '0');
      ++at_;
    }
    if (at_ == digits) return fail("no value");
    if (at_ - digits > 1 && text_[digits] == '0') return fail("a number with a leading zero");
    if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E')) {
      at_ = start;
      return fail("only whole numbers are read");
    }
    value.kind = JsonValue::Kind::Number;
    value.number = negative ? -n : n;
    return true;
  }

  bool hex4(unsigned& out) {
    if (at_ + 4 > text_.size()) return fail("short \\u escape");
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[at_++];
      out <<= 4;
      if (h >= '0' && h <= '9')
        out |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f')
        out |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F')
        out |= static_cast<unsigned>(h - 'A' + 10);
      else
        return fail("bad \\u escape");
    }
    return true;
  }

  static void append_utf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool read_string(std::string& out) {
    ++at_;  // the opening quote
    while (true) {
      if (at_ >= text_.size()) return fail("unterminated string");
      const unsigned char c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return fail("control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) return fail("unterminated string");
      const char e = text_[at_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned cp = 0;
          if (!hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00) {
            unsigned low = 0;
            if (text_.compare(at_, 2, "\\u") != 0) return fail("lone surrogate");
            at_ += 2;
            if (!hex4(low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return fail("lone surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return fail("lone surrogate");
          }
          append_utf8(out, cp);
          break;
        }
        default:
          return fail("unknown escape");
      }
    }
  }

  bool read_list(JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::List;
    ++at_;
    skip_space();
    if (at_ < text_.size() && text_[at_] == ']') {
      ++at_;
      return true;
    }
    while (true) {
      JsonValue item;
      if (!read_value(item, depth + 1)) return false;
      value.list.push_back(std::move(item));
      skip_space();
      if (at_ >= text_.size()) return fail("unterminated list");
      if (text_[at_] == ']') {
        ++at_;
        return true;
      }
      if (text_[at_++] != ',') return fail("expected ',' or ']'");
    }
  }

  bool read_object(JsonValue& value, int depth) {
    value.kind = JsonValue::Kind::Object;
    ++at_;
    skip_space();
    if (at_ < text_.size() && text_[at_] == '}') {
      ++at_;
      return true;
    }
    while (true) {
      skip_space();
      if (at_ >= text_.size() || text_[at_] != '"') return fail("expected a key");
      std::string key;
      if (!read_string(key)) return false;
      skip_space();
      if (at_ >= text_.size() || text_[at_++] != ':') return fail("expected ':'");
      JsonValue item;
      if (!read_value(item, depth + 1)) return false;
      value.object.push_back(JsonMember{std::move(key), std::move(item)});
      skip_space();
      if (at_ >= text_.size()) return fail("unterminated object");
      if (text_[at_] == '}') {
        ++at_;
        return true;
      }
      if (text_[at_++] != ',') return fail("expected ',' or '}'");
    }
  }

  const std::string& text_;
  std::size_t at_ = 0;
  std::string reason_;
};

}  // namespace

const JsonValue* JsonValue::member(const std::string& key) const {
  const JsonValue* found = nullptr;
  for (const auto& [name, value] : object) {
    if (name == key) found = &value;
  }
  return found;
}

Result<JsonValue> parse_json(const std::string& text) { return Reader(text).document(); }

std::string json_quoted(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

}  // namespace qor::publish
