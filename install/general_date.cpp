#include "general_date.hpp"

#include <cstdlib>

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace qor {
namespace {

struct DateForm {
  QLocale locale;
  QString date_format;
  QString time_format;
};

// "de_DE.UTF-8@euro" -> "de_DE"
std::string bare_locale_name(const std::string& name) { return name.substr(0, name.find_first_of(".@")); }

bool has_language(const std::string& bare, const std::string& language) {
  return bare == language || bare.rfind(language + "_", 0) == 0 || bare.rfind(language + "-", 0) == 0;
}

// Applies `change` to the runs of one pattern letter outside quoted text.
template <class Change>
QString rewrite_runs(const QString& format, QChar letter, Change change) {
  QString out;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size();) {
    const QChar c = format[i];
    if (c == u'\'') quoted = !quoted;
    if (quoted || c != letter) {
      out += c;
      ++i;
      continue;
    }
    qsizetype run = 0;
    while (i + run < format.size() && format[i + run] == letter) ++run;
    out += change(run);
    i += run;
  }
  return out;
}

// A locale's own short date with a four-digit year and its long time. The
// zone name of the long time is dropped: a date value carries no zone.
DateForm locale_form(const QLocale& locale) {
  const QString date =
      rewrite_runs(locale.dateFormat(QLocale::ShortFormat), u'y', [](qsizetype) { return QStringLiteral("yyyy"); });
  const QString time =
      rewrite_runs(locale.timeFormat(QLocale::LongFormat), u't', [](qsizetype) { return QString(); }).trimmed();
  return {locale, date, time};
}

DateForm form_for(const std::string& locale_name) {
  const std::string bare = bare_locale_name(locale_name);
  const QLocale c = QLocale::c();
  if (bare.empty() || bare == "C" || bare == "POSIX") return {c, "yyyy-MM-dd", "HH:mm:ss"};
  if (has_language(bare, "de")) return {c, "dd.MM.yyyy", "HH:mm:ss"};
  if (bare == "en_GB") return {c, "dd/MM/yyyy", "HH:mm:ss"};
  if (bare == "en" || bare == "en_US") return {c, "M/d/yyyy", "h:mm:ss AP"};
  const QLocale locale(QString::fromStdString(bare));
  if (locale.language() == QLocale::C) return {c, "yyyy-MM-dd", "HH:mm:ss"};
  return locale_form(locale);
}

QString date_part(const DateForm& form, const QDate& date) { return form.locale.toString(date, form.date_format); }

QString with_time(const DateForm& form, const QDate& date, const QTime& time) {
  return date_part(form, date) + u' ' + form.locale.toString(time, form.time_format);
}

}  // namespace

std::string user_time_locale() {
  for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

std::string general_date_text(const DateValue& d, const std::string& locale) {
  const DateForm form = form_for(locale);
  const QDate date(d.year, d.month, d.day);
  const QTime time(d.hour, d.minute, d.second);
  return (time == QTime(0, 0) ? date_part(form, date) : with_time(form, date, time)).toStdString();
}

std::optional<DateValue> parse_general_date(const std::string& text, const std::string& locale) {
  const DateForm form = form_for(locale);
  const QString input = QString::fromStdString(text);
  const auto value = [](const QDate& date, const QTime& time) {
    return DateValue{date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
  };
  // Qt's parser forgives some variations; only the exact rendering counts.
  const QDate alone = form.locale.toDate(input, form.date_format);
  if (alone.isValid() && date_part(form, alone) == input) return value(alone, QTime(0, 0));
  // The date part of some locales holds spaces of its own: try every split.
  for (qsizetype space = input.indexOf(u' '); space >= 0; space = input.indexOf(u' ', space + 1)) {
    const QDate date = form.locale.toDate(input.left(space), form.date_format);
    if (!date.isValid()) continue;
    const QTime time = form.locale.toTime(input.mid(space + 1), form.time_format);
    if (time.isValid() && with_time(form, date, time) == input) return value(date, time);
  }
  return std::nullopt;
}

}  // namespace qor
