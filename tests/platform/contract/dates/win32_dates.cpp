// The dates suite on Windows (and Wine): the locale data of the session,
// and the file-time conversion of the system.
#include "platform/win32/file_time.hpp"
#include "tests/platform/contract/dates/platform_dates.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::test {

// Windows writes German short dates with leading zeros; Wine's locale data
// (taken from Unicode's CLDR) leaves them out. Both are the platform's own
// form, and the client writes and reads whichever it is given.
DateForm session_form(const std::string& session) {
  if (session == "de-DE")
    return running_under_wine() ? DateForm{"d.M.yyyy", "HH:mm:ss", "", ""} : DateForm{"dd.MM.yyyy", "HH:mm:ss", "", ""};
  return DateForm{"dd/MM/yyyy", "HH:mm:ss", "", ""};
}

// What FileTimeToLocalFileTime adds to a file time.
std::chrono::seconds offset_the_system_applies(std::chrono::system_clock::time_point moment) {
  const std::uint64_t utc = *win32::ticks_from_time_point(moment);
  const ::FILETIME utc_file{static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
  ::FILETIME local_file{};
  if (!FileTimeToLocalFileTime(&utc_file, &local_file)) return std::chrono::seconds{-1'000'000};
  const auto local = (std::uint64_t{local_file.dwHighDateTime} << 32) | local_file.dwLowDateTime;
  return std::chrono::seconds{(static_cast<std::int64_t>(local) - static_cast<std::int64_t>(utc)) /
                              win32::kTicksPerSecond};
}

}  // namespace qor::test
