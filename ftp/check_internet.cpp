// Whether the update server can be reached: the internet functions must open,
// and the check query must be answered with exactly "ok".
#include "ftp/ftp_steps.hpp"
#include "portable/app_title.hpp"
#include "server/http_query.hpp"

namespace qor {

bool check_internet(const std::string& update_server, const FetchLimits& limits, const KeepGoing& keep_going) {
  // The probe handle only tells whether the functions can be used; it is
  // closed again whatever the answer.
  const auto probe = transfer::open(kApplicationTitle);
  if (!probe) {
    report_failure("internet check", probe.failure());
    return false;
  }
  return http_get_text_or_empty(query_url(update_server, "art=check&was=ab"), limits, keep_going) == "ok";
}

}  // namespace qor
