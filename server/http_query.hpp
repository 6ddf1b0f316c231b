// The two HTTP query operations of the update server's script.
#pragma once

#include <string>

#include "http_fetch.hpp"

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

// One synchronous GET; the body as text. A failed query shows a message with
// Retry and Cancel: Retry sends it again, Cancel throws StepAborted.
std::string http_get_text(FormHost& host, const std::string& url, const FetchLimits& limits);

// One synchronous GET; the empty text on any failure.
std::string http_get_text_or_empty(const std::string& url, const FetchLimits& limits);

}  // namespace qor
