#include "server/http_query.hpp"

#include "portable/app_title.hpp"
#include "server/answer_text.hpp"
#include "window/form_host.hpp"
#include "window/keep_window_going.hpp"
#include "window/steps.hpp"

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

std::string http_get_text(FormHost& host, const std::string& url, const FetchLimits& limits) {
  const KeepGoing keep_going = keep_window_going(host);
  for (;;) {
    const Result<std::string> body = http_fetch(url, limits, keep_going);
    if (body) return answer_text(*body);
    if (body.failure().code == kAbandoned) {
      // The user closed the window: nothing more to ask them, no step after this one.
      report_failure("update server query", Failure{query_of(url) + ": abandoned, the window was closed"});
      throw StepAborted{query_of(url) + ": the window was closed"};
    }
    report_failure("update server query", body.failure());
    // The steps send their query before they change anything, so sending it
    // again is running the step again from its start.
    const MsgResult choice =
        host.MsgBox(failure_message(url, body.failure().reason), MsgButtons::RetryCancel, kApplicationTitle);
    if (choice != MsgResult::Retry) throw StepAborted{query_of(url) + ": " + body.failure().reason};
  }
}

std::string http_get_text_or_empty(const std::string& url, const FetchLimits& limits, const KeepGoing& keep_going) {
  const Result<std::string> body = http_fetch(url, limits, keep_going);
  if (body) return answer_text(*body);
  if (body.failure().code == kAbandoned) {
    report_failure("update server query", Failure{query_of(url) + ": abandoned, the window was closed"});
    return {};
  }
  report_failure("update server query", body.failure());
  return {};
}

}  // namespace qor
