#include "platform/win32/locale_pictures.hpp"

#include <algorithm>
#include <string_view>

namespace qor::win32 {
namespace {

enum class Picture { kDate, kTime };

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A character that stands for itself in Windows' picture, written so that
// the form reads it as itself too: its letters are fields there.
void append_literal(std::string& out, char c) {
  if (c == '\'') {
    out += "''";
  } else if (is_ascii_letter(c)) {
    out += '\'';
    out += c;
    out += '\'';
  } else {
    out += c;
  }
}

// Copies the quoted text that starts at `at` (the opening quote); the index
// past the closing quote.
std::size_t copy_quoted(std::string_view picture, std::size_t at, std::string& out) {
  ++at;
  while (at < picture.size()) {
    if (picture[at] == '\'') {
      if (at + 1 < picture.size() && picture[at + 1] == '\'') {
        append_literal(out, '\'');
        at += 2;
        continue;
      }
      return at + 1;
    }
    append_literal(out, picture[at++]);
  }
  return at;
}

void trim_spaces(std::string& text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  const auto first = text.find_first_not_of(' ');
  text.erase(0, first == std::string::npos ? text.size() : first);
}

// One picture in the form's syntax; none for a field the form cannot hold.
// `one_letter_designator` is set when the picture shows the designator's
// first letter only.
std::optional<std::string> convert(std::string_view picture, Picture kind, bool& one_letter_designator) {
  std::string out;
  for (std::size_t i = 0; i < picture.size();) {
    const char c = picture[i];
    if (c == '\'') {
      if (i + 1 < picture.size() && picture[i + 1] == '\'') {
        append_literal(out, '\'');
        i += 2;
      } else {
        i = copy_quoted(picture, i, out);
      }
      continue;
    }
    std::size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    const auto field = [&](std::size_t longest) { out.append(std::min(run, longest), c); };
    if (kind == Picture::kDate && (c == 'd' || c == 'M')) {
      if (run > 2) return std::nullopt;  // day or month names
      field(2);
    } else if (kind == Picture::kDate && c == 'y') {
      out += "yyyy";
    } else if (kind == Picture::kDate && c == 'g') {
      // The era: the Gregorian calendar needs none.
    } else if (kind == Picture::kTime && (c == 'h' || c == 'H' || c == 'm' || c == 's')) {
      field(2);
    } else if (kind == Picture::kTime && c == 't') {
      one_letter_designator = run == 1;
      out += "tt";
    } else {
      for (std::size_t k = 0; k < run; ++k) append_literal(out, c);
    }
    i += run;
  }
  trim_spaces(out);
  return out;
}

// The first character of a UTF-8 text.
std::string first_character(const std::string& text) {
  if (text.empty()) return text;
  std::size_t end = 1;
  while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return text.substr(0, end);
}

}  // namespace

std::optional<DateForm> date_form_from_pictures(const LocalePictures& pictures) {
  bool one_letter = false;
  const auto date = convert(pictures.short_date, Picture::kDate, one_letter);
  const auto time = convert(pictures.long_time, Picture::kTime, one_letter);
  if (!date || !time || date->empty() || time->empty()) return std::nullopt;
  DateForm form{*date, *time, pictures.am, pictures.pm};
  if (one_letter) {
    form.am = first_character(form.am);
    form.pm = first_character(form.pm);
  }
  return form;
}

}  // namespace qor::win32
