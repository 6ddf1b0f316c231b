#include "http_query.hpp"

#include "QOR_sync_FRM.hpp"
#include "app_title.hpp"
#include "http_fetch.hpp"

namespace qor {

namespace {

// "art=install" out of the whole URL: what the user can tell requests apart by.
std::string query_of(const std::string& url) {
  const auto q = url.find('?');
  return q == std::string::npos ? url : url.substr(q + 1);
}

std::string failure_message(const std::string& url, const std::string& error) {
  const std::string query = query_of(url);
  return "Die Anfrage an den Update-Server ist fehlgeschlagen (" + query + ").\r\n" +
         "The request to the update server failed (" + query + ").\r\n\r\n" + error;
}

}  // namespace

std::string query_url(const std::string& update_server, const std::string& query) {
  return "http://" + update_server + "/php_scripts/qor_sw_setup_manager.php?" + query;
}

std::string http_get_text(QOR_sync_FRM& form, const std::string& url) {
  for (;;) {
    FetchResult result = http_fetch(url);
    if (result.ok) return std::move(result.text);
    // The steps send their query before they change anything, so sending it
    // again is running the step again from its start.
    const MsgResult choice =
        form.host().MsgBox(failure_message(url, result.error), MsgButtons::RetryCancel, kApplicationTitle);
    if (choice != MsgResult::Retry) throw StepAborted{query_of(url) + ": " + result.error};
  }
}

std::string http_get_text_or_empty(const std::string& url) {
  FetchResult result = http_fetch(url);
  return result.ok ? std::move(result.text) : std::string{};
}

}  // namespace qor
