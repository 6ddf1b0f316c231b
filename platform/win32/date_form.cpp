// Date forms from the locale data of Windows: the short date and the long
// time the user has set (the user's own changes included). A named locale
// gives the fixed form of the general date table where it has one (German,
// US and British English, C), else its short date and long time as they
// come.
#include "platform/date_form.hpp"

#include <algorithm>
#include <array>

#include "platform/win32/locale_pictures.hpp"
#include "platform/win32/wide_text.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

std::optional<std::string> locale_text(const wchar_t* locale, LCTYPE type) {
  std::array<wchar_t, 128> buffer{};
  const int n = GetLocaleInfoEx(locale, type, buffer.data(), static_cast<int>(buffer.size()));
  if (n <= 0) return std::nullopt;
  return win32::to_utf8(std::wstring_view(buffer.data(), static_cast<std::size_t>(n - 1)));
}

DateForm form_of(const wchar_t* locale, LCTYPE flags) {
  const auto date = locale_text(locale, LOCALE_SSHORTDATE | flags);
  const auto time = locale_text(locale, LOCALE_STIMEFORMAT | flags);
  const auto am = locale_text(locale, LOCALE_S1159 | flags);
  const auto pm = locale_text(locale, LOCALE_S2359 | flags);
  if (!date || !time || !am || !pm) return {};
  return win32::date_form_from_pictures({*date, *time, *am, *pm}).value_or(DateForm{});
}

// "de_DE.UTF-8@euro" -> "de-DE": the names of Linux sessions are accepted too.
std::string windows_locale_name(const std::string& name) {
  std::string bare = name.substr(0, name.find_first_of(".@"));
  std::replace(bare.begin(), bare.end(), '_', '-');
  return bare;
}

bool has_language(const std::string& tag, const std::string& language) {
  return tag == language || tag.starts_with(language + "-");
}

}  // namespace

DateForm date_form_for(const std::string& locale_name) {
  const std::string tag = windows_locale_name(locale_name);
  if (tag.empty() || tag == "C" || tag == "POSIX") return fixed_date_form("C");
  if (has_language(tag, "de")) return fixed_date_form("de");
  if (tag == "en-GB") return fixed_date_form("en_GB");
  if (tag == "en" || tag == "en-US") return fixed_date_form("en_US");
  const std::wstring name = win32::to_wide(tag);
  // Recent Windows answers any well-formed tag with made-up data; only the
  // locales it knows count.
  const LCID id = LocaleNameToLCID(name.c_str(), LOCALE_ALLOW_NEUTRAL_NAMES);
  if (id == 0 || id == LOCALE_CUSTOM_UNSPECIFIED) return {};
  return form_of(name.c_str(), LOCALE_NOUSEROVERRIDE);
}

DateForm user_date_form() { return form_of(LOCALE_NAME_USER_DEFAULT, 0); }

}  // namespace qor
