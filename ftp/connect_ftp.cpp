// Opens the FTP connection with the transfer settings and shows the remote
// folder. A failed open keeps the earlier connection in ftp_handle; a failed
// connect leaves ftp_handle empty.
#include <optional>
#include <utility>

#include "ftp/ftp_steps.hpp"
#include "portable/app_title.hpp"
#include "portable/text/control_characters.hpp"
#include "window/form_host.hpp"
#include "window/keep_window_going.hpp"
#include "window/shared_variables.hpp"

namespace qor {

namespace {

// A line break in the account would end the login command early and send
// the rest to the server as commands of their own; no setting the login
// uses needs a control character of any kind. The folder is only shown.
std::optional<std::string> field_with_control_character(const QOR_sync_MOD& settings) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"se=", &settings.ftp_server}, {"us=", &settings.ftp_user}, {"pa=", &settings.ftp_password}};
  for (const auto& [key, value] : fields) {
    if (holds_control_character(*value)) return key;
  }
  return std::nullopt;
}

// Logs in and lists; the reason when either failed.
std::optional<Failure> open_and_list(const KeepGoing& keep_going, const TransferLimits& limits) {
  auto& ftp = shared_variables().ftp;
  const auto& settings = shared_variables().mod;
  if (const auto field = field_with_control_character(settings)) {
    ftp.ftp_handle.reset();
    return Failure{*field + " holds a control character"};
  }
  auto internet = transfer::open("QOR sync", limits);
  if (!internet) return internet.failure();
  ftp.internet_handle = *internet;
  auto connection =
      transfer::connect(ftp.internet_handle, settings.ftp_server, settings.ftp_user, settings.ftp_password, keep_going);
  if (!connection) {
    ftp.ftp_handle.reset();
    return connection.failure();
  }
  ftp.ftp_handle = *connection;
  const Status listed = read_remote_listing(keep_going);
  show_remote_listing();
  if (!listed) return listed.failure();
  return std::nullopt;
}

}  // namespace

void connect_ftp(FormHost& host, const TransferLimits& limits) {
  auto& ftp = shared_variables().ftp;
  ftp.transfer_type = 0;
  ftp.internet_handle.reset();
  const auto failure = open_and_list(keep_window_going(host), limits);
  if (!failure) return;
  if (failure->code == transfer::kAbandoned) {
    // The user closed the window: nothing more to say to them.
    report_failure("FTP connection", Failure{"abandoned, the window was closed"});
    return;
  }
  report_failure("FTP connection", *failure);
  host.MsgBox("Fehler beim Verbindungsaufbau", MsgButtons::OK, kApplicationTitle);
}

}  // namespace qor
