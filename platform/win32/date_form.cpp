// Date forms from the locale data of Windows: the short date and the long
// time the user has set (the user's own changes included), or those of a
// named locale as it comes.
#include "date_form.hpp"

#include <array>

#include "locale_pictures.hpp"
#include "wide_text.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "windows_api.hpp"

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
std::wstring windows_locale_name(const std::string& name) {
  std::string bare = name.substr(0, name.find_first_of(".@"));
  for (char& c : bare)
    if (c == '_') c = '-';
  return win32::to_wide(bare);
}

}  // namespace

DateForm date_form_for(const std::string& locale_name) {
  const std::wstring name = windows_locale_name(locale_name);
  if (name.empty() || name == L"C" || name == L"POSIX") return {};
  // Recent Windows answers any well-formed tag with made-up data; only the
  // locales it knows count.
  const LCID id = LocaleNameToLCID(name.c_str(), LOCALE_ALLOW_NEUTRAL_NAMES);
  if (id == 0 || id == LOCALE_CUSTOM_UNSPECIFIED) return {};
  return form_of(name.c_str(), LOCALE_NOUSEROVERRIDE);
}

DateForm user_date_form() { return form_of(LOCALE_NAME_USER_DEFAULT, 0); }

}  // namespace qor
