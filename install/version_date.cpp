#include "install/version_date.hpp"

#include "filetime/local_date.hpp"
#include "install/general_date.hpp"
#include "platform/date_form.hpp"

namespace qor {
namespace {

std::optional<DateValue> read_in(const std::string& version, const DateForm& user) {
  if (auto date = parse_general_date(version, user)) return date;
  for (const DateForm& form : fixed_date_forms()) {
    if (form == user) continue;
    if (auto date = parse_general_date(version, form)) return date;
  }
  return std::nullopt;
}

}  // namespace

std::optional<DateValue> read_version_date(const std::string& version) { return read_in(version, user_date_form()); }

bool is_version_date_of(const std::string& version, std::chrono::system_clock::time_point written) {
  const DateForm user = user_date_form();
  const DateValue local = utc_to_local_date(written);
  if (general_date_text(local, user) == version) return true;
  const auto date = read_in(version, user);
  return date && *date == local;
}

}  // namespace qor
