// The two HTTP query operations of the update server's script.
#pragma once

#include <string>

namespace qor {

class QOR_sync_FRM;

// "http://" + update_server + "/php_scripts/qor_sw_setup_manager.php?" + query,
// by plain concatenation (the query is not encoded).
std::string query_url(const std::string& update_server, const std::string& query);

// One synchronous GET; the body as text. A failed query shows a message with
// Retry and Cancel: Retry sends it again, Cancel throws StepAborted.
std::string http_get_text(QOR_sync_FRM& form, const std::string& url);

// One synchronous GET; the empty text on any failure.
std::string http_get_text_or_empty(const std::string& url);

}  // namespace qor
