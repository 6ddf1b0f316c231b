// The two HTTP query operations of the update server's script.
#pragma once

#include <string>

#include "platform/http_fetch.hpp"

namespace qor {

class FormHost;

// Where the update server is ("host" or "host:port") and how long a query may take.
struct UpdateServer {
  std::string address;
  FetchLimits limits;
};

// "http://" + update_server + "/php_scripts/qor_sw_setup_manager.php?" + query,
// by plain concatenation (the query is not encoded).
std::string query_url(const std::string& update_server, const std::string& query);

// One GET; the body as text. The window handles its events while the
// query waits. A failed query shows a message with Retry and Cancel: Retry
// sends it again, Cancel throws StepAborted. A window closed meanwhile ends
// the query at once and throws StepAborted without a message.
std::string http_get_text(FormHost& host, const std::string& url, const FetchLimits& limits);

// One GET; the empty text on any failure, an abandoned query among them.
std::string http_get_text_or_empty(const std::string& url, const FetchLimits& limits, const KeepGoing& keep_going = {});

}  // namespace qor
