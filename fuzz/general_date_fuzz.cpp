// The general date form, per locale: rendering and parsing must be exact
// inverses, since a stamped file is later compared by its rendered text.
//   parse(format(d)) == d for every date a file can carry, and
//   format(parse(t)) == t whenever t parses (t may write midnight out).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.hpp"
#include "install/general_date.hpp"

namespace {

using qor::DateValue;
using qor::fuzz::check;

// The fixed forms, then locales whose Qt data has other separators, 12-hour
// times, non-Latin digits or text, and names Qt does not know.
const char* const kLocales[] = {"",      "C",     "POSIX",       "de_DE.UTF-8@euro",
                                "de_AT", "de",    "en_US.UTF-8", "en",
                                "en_GB", "fr_FR", "ja_JP",       "ko_KR",
                                "zh_CN", "ar_EG", "fa_IR",       "hi_IN",
                                "ru_RU", "nl_NL", "es_ES",       "he_IL",
                                "th_TH", "bg_BG", "hu_HU",       "sv_SE",
                                "en_CA", "pt_BR", "my_MM",       "xx_YY",
                                "tr_TR", "pl_PL", "uk_UA",       "en_AU"};

int days_in_month(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

bool is_calendar_date(const DateValue& d) {
  return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= days_in_month(d.year, d.month) && d.hour >= 0 &&
         d.hour < 24 && d.minute >= 0 && d.minute < 60 && d.second >= 0 && d.second < 60;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const qor::DateForm locale = qor::date_form_for(in.PickValueInArray(kLocales));
  if (in.ConsumeBool()) {
    // Years of the file times a stamp can set and a four-digit year can show.
    DateValue d;
    d.year = in.ConsumeIntegralInRange(1601, 9999);
    d.month = in.ConsumeIntegralInRange(1, 12);
    d.day = in.ConsumeIntegralInRange(1, days_in_month(d.year, d.month));
    if (in.ConsumeBool()) {
      d.hour = in.ConsumeIntegralInRange(0, 23);
      d.minute = in.ConsumeIntegralInRange(0, 59);
      d.second = in.ConsumeIntegralInRange(0, 59);
    }
    const std::string text = qor::general_date_text(d, locale);
    const auto back = qor::parse_general_date(text, locale);
    check(back.has_value(), "a rendered date parses");
    check(*back == d, "a rendered date parses to itself");
    return 0;
  }
  const std::string text = in.ConsumeRemainingBytesAsString();
  const auto parsed = qor::parse_general_date(text, locale);
  if (!parsed) return 0;
  check(is_calendar_date(*parsed), "a parsed date is a real calendar date and time");
  const std::string again = qor::general_date_text(*parsed, locale);
  const bool midnight = parsed->hour == 0 && parsed->minute == 0 && parsed->second == 0;
  // Midnight renders without its time, yet may arrive written out.
  check(again == text || (midnight && text.starts_with(again + " ")), "a parsed text renders back to itself");
  return 0;
}
