// Whether the update server can be reached: libcurl must be usable, and the
// check query must be answered with exactly "ok".
#include "QOR_sync_ftp_MOD.hpp"
#include "http_fetch.hpp"
#include "http_query.hpp"

namespace qor {

bool check_internet(const std::string& update_server) {
  if (!transfer_library_ready()) return false;
  return http_get_text_or_empty(query_url(update_server, "art=check&was=ab")) == "ok";
}

}  // namespace qor
