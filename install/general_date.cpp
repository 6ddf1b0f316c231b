#include "install/general_date.hpp"

#include <algorithm>
#include <vector>

namespace qor {
namespace {

enum class Field { Literal, Day, Month, Year, Hour24, Hour12, Minute, Second, Designator };

struct Token {
  Field field = Field::Literal;
  int width = 0;        // 1: one or two digits; 2: exactly two; 4: the year
  std::string literal;  // the text of a literal
};

std::vector<Token> tokens_of(const std::string& pattern) {
  std::vector<Token> tokens;
  const auto literal = [&tokens](const std::string& text) {
    if (tokens.empty() || tokens.back().field != Field::Literal) tokens.push_back({});
    tokens.back().literal += text;
  };
  for (std::size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    if (c == '\'') {
      const std::size_t close = pattern.find('\'', i + 1);
      const std::size_t end = close == std::string::npos ? pattern.size() : close;
      literal(end == i + 1 ? "'" : pattern.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    std::size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    const int width = run >= 2 ? 2 : 1;
    switch (c) {
      case 'd':
        tokens.push_back({Field::Day, width, {}});
        break;
      case 'M':
        tokens.push_back({Field::Month, width, {}});
        break;
      case 'y':
        tokens.push_back({Field::Year, 4, {}});
        break;
      case 'H':
        tokens.push_back({Field::Hour24, width, {}});
        break;
      case 'h':
        tokens.push_back({Field::Hour12, width, {}});
        break;
      case 'm':
        tokens.push_back({Field::Minute, width, {}});
        break;
      case 's':
        tokens.push_back({Field::Second, width, {}});
        break;
      case 't':
        tokens.push_back({Field::Designator, 0, {}});
        break;
      default:
        literal(std::string(run, c));
    }
    i += run;
  }
  return tokens;
}

void append_number(std::string& out, int value, int width) {
  std::string digits = std::to_string(value);
  if (digits.size() < static_cast<std::size_t>(width)) digits.insert(0, width - digits.size(), '0');
  out += digits;
}

void render(std::string& out, const std::vector<Token>& tokens, const DateValue& d, const DateForm& form) {
  for (const Token& t : tokens) {
    switch (t.field) {
      case Field::Literal:
        out += t.literal;
        break;
      case Field::Day:
        append_number(out, d.day, t.width);
        break;
      case Field::Month:
        append_number(out, d.month, t.width);
        break;
      case Field::Year:
        append_number(out, d.year, 4);
        break;
      case Field::Hour24:
        append_number(out, d.hour, t.width);
        break;
      case Field::Hour12:
        append_number(out, d.hour % 12 == 0 ? 12 : d.hour % 12, t.width);
        break;
      case Field::Minute:
        append_number(out, d.minute, t.width);
        break;
      case Field::Second:
        append_number(out, d.second, t.width);
        break;
      case Field::Designator:
        out += d.hour < 12 ? form.am : form.pm;
        break;
    }
  }
}

// Reads the text against the tokens from `pos`; the fields it names go into
// `d`. True when every token matched; pos is then just past the last one.
bool read(const std::string& text, std::size_t& pos, const std::vector<Token>& tokens, const DateForm& form,
          DateValue& d) {
  bool pm = false;
  bool twelve_hour = false;
  for (const Token& t : tokens) {
    if (t.field == Field::Literal) {
      if (text.compare(pos, t.literal.size(), t.literal) != 0) return false;
      pos += t.literal.size();
      continue;
    }
    if (t.field == Field::Designator) {
      // The longer designator first, in case one begins with the other.
      const bool pm_first = form.pm.size() > form.am.size();
      const std::string& first = pm_first ? form.pm : form.am;
      const std::string& second = pm_first ? form.am : form.pm;
      if (!first.empty() && text.compare(pos, first.size(), first) == 0) {
        pm = pm_first;
        pos += first.size();
      } else if (!second.empty() && text.compare(pos, second.size(), second) == 0) {
        pm = !pm_first;
        pos += second.size();
      } else {
        return false;
      }
      continue;
    }
    const std::size_t most = t.field == Field::Year ? 4 : 2;
    const std::size_t least = t.field == Field::Year ? 4 : static_cast<std::size_t>(t.width);
    std::size_t n = 0;
    int value = 0;
    while (n < most && pos + n < text.size() && text[pos + n] >= '0' && text[pos + n] <= '9') {
      value = value * 10 + (text[pos + n] - '0');
      ++n;
    }
    if (n < least) return false;
    pos += n;
    switch (t.field) {
      case Field::Day:
        d.day = value;
        break;
      case Field::Month:
        d.month = value;
        break;
      case Field::Year:
        d.year = value;
        break;
      case Field::Hour24:
        d.hour = value;
        break;
      case Field::Hour12:
        d.hour = value;
        twelve_hour = true;
        if (value < 1 || value > 12) return false;
        break;
      case Field::Minute:
        d.minute = value;
        break;
      case Field::Second:
        d.second = value;
        break;
      default:
        break;
    }
  }
  if (twelve_hour) d.hour = d.hour % 12 + (pm ? 12 : 0);
  return true;
}

bool is_calendar_date(const DateValue& d) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (d.month < 1 || d.month > 12 || d.day < 1) return false;
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  const int days = d.month == 2 && leap ? 29 : kDays[d.month - 1];
  return d.day <= days && d.hour >= 0 && d.hour < 24 && d.minute >= 0 && d.minute < 60 && d.second >= 0 &&
         d.second < 60;
}

// More than any date of the form can take: no pattern letter writes more
// than four digits or a designator, and no other pattern character more
// than itself.
std::size_t beyond_longest_date(const DateForm& form) {
  const std::size_t widest = std::max({std::size_t{4}, form.am.size(), form.pm.size()});
  return (form.date_pattern.size() + 1 + form.time_pattern.size()) * widest + 1;
}

std::string with_time(const DateValue& d, const DateForm& form) {
  std::string out;
  render(out, tokens_of(form.date_pattern), d, form);
  out += ' ';
  render(out, tokens_of(form.time_pattern), d, form);
  return out;
}

}  // namespace

std::string general_date_text(const DateValue& d, const DateForm& form) {
  if (d.hour != 0 || d.minute != 0 || d.second != 0) return with_time(d, form);
  std::string out;
  render(out, tokens_of(form.date_pattern), d, form);
  return out;
}

std::optional<DateValue> parse_general_date(const std::string& text, const DateForm& form) {
  // Text from the server longer than any date of this form is refused
  // before it is read, however it is made.
  if (text.size() >= beyond_longest_date(form)) return std::nullopt;
  DateValue d;
  std::size_t pos = 0;
  if (!read(text, pos, tokens_of(form.date_pattern), form, d)) return std::nullopt;
  if (pos < text.size()) {
    // The time part; midnight may arrive written out.
    if (text[pos] != ' ') return std::nullopt;
    ++pos;
    if (!read(text, pos, tokens_of(form.time_pattern), form, d) || pos != text.size()) return std::nullopt;
    if (!is_calendar_date(d) || with_time(d, form) != text) return std::nullopt;
    return d;
  }
  // Only the exact rendering counts: leading zeros where the form has them,
  // none where it has not.
  if (!is_calendar_date(d) || general_date_text(d, form) != text) return std::nullopt;
  return d;
}

}  // namespace qor
