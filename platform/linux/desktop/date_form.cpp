// Date forms from the locale settings of a Linux session: the locale named by
// LC_ALL, else LC_TIME, else LANG. German, US and British English and C have
// fixed forms; other locales take Qt's locale data.
#include "platform/date_form.hpp"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include <QLocale>
#include <QString>

namespace qor {
namespace {

// "de_DE.UTF-8@euro" -> "de_DE"
std::string bare_locale_name(const std::string& name) { return name.substr(0, name.find_first_of(".@")); }

bool has_language(const std::string& bare, const std::string& language) {
  return bare == language || bare.rfind(language + "_", 0) == 0 || bare.rfind(language + "-", 0) == 0;
}

// A Qt pattern in the form's own syntax: y runs give the four-digit year, AP
// and ap the designators, the zone name (t) is dropped since a date value
// carries no zone. Day and month names have no place in it: none.
std::optional<std::string> from_qt_pattern(const QString& pattern, bool& lower_designators) {
  std::string out;
  for (qsizetype i = 0; i < pattern.size();) {
    const QChar c = pattern[i];
    if (c == u'\'') {
      const qsizetype close = pattern.indexOf(u'\'', i + 1);
      const qsizetype end = close < 0 ? pattern.size() : close + 1;
      out += pattern.mid(i, end - i).toStdString();
      i = end;
      continue;
    }
    qsizetype run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    const char letter = c.toLatin1();
    switch (letter) {
      case 'y':
        out += "yyyy";
        break;
      case 'd':
      case 'M':
        if (run > 2) return std::nullopt;
        out += std::string(static_cast<std::size_t>(run), letter);
        break;
      case 'H':
      case 'h':
      case 'm':
      case 's':
        out += std::string(static_cast<std::size_t>(std::min<qsizetype>(run, 2)), letter);
        break;
      case 'A':
      case 'a':
        if (i + 1 < pattern.size() && (pattern[i + 1] == u'P' || pattern[i + 1] == u'p')) ++i;
        lower_designators = letter == 'a';
        out += "tt";
        break;
      case 't':
        while (!out.empty() && out.back() == ' ') out.pop_back();
        break;
      default:
        // Other Latin letters name fields this form has no place for; letters
        // of other scripts are text.
        if (c.isLetter() && c.unicode() < 0x80) return std::nullopt;
        out += QString(run, c).toStdString();
    }
    i += run;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  while (!out.empty() && out.front() == ' ') out.erase(0, 1);
  return out;
}

DateForm qt_form(const QLocale& locale) {
  bool lower = false;
  const auto date = from_qt_pattern(locale.dateFormat(QLocale::ShortFormat), lower);
  const auto time = from_qt_pattern(locale.timeFormat(QLocale::LongFormat), lower);
  if (!date || !time) return {};
  DateForm form{*date, *time, locale.amText().toStdString(), locale.pmText().toStdString()};
  if (lower) {
    form.am = QString::fromStdString(form.am).toLower().toStdString();
    form.pm = QString::fromStdString(form.pm).toLower().toStdString();
  }
  return form;
}

}  // namespace

DateForm date_form_for(const std::string& locale_name) {
  const std::string bare = bare_locale_name(locale_name);
  if (bare.empty() || bare == "C" || bare == "POSIX") return fixed_date_form("C");
  if (has_language(bare, "de")) return fixed_date_form("de");
  if (bare == "en_GB" || bare == "en-GB") return fixed_date_form("en_GB");
  if (bare == "en" || bare == "en_US" || bare == "en-US") return fixed_date_form("en_US");
  const QLocale locale(QString::fromStdString(bare));
  if (locale.language() == QLocale::C) return {};
  return qt_form(locale);
}

DateForm user_date_form() {
  for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return date_form_for(value);
  }
  return {};
}

}  // namespace qor
