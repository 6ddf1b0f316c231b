// Opens the FTP connection with the transfer settings and shows the remote
// folder. A failed open keeps the earlier connection in ftp_handle; a failed
// connect leaves ftp_handle empty.
#include "QOR_sync_ftp_MOD.hpp"
#include "app_title.hpp"
#include "form_host.hpp"
#include "shared_variables.hpp"

namespace qor {

void connect_ftp(FormHost& host, const TransferLimits& limits) {
  auto& ftp = shared_variables().ftp;
  const auto& settings = shared_variables().mod;
  ftp.transfer_type = 0;
  ftp.internet_handle.reset();
  auto internet = transfer::open("QOR sync", limits);
  Failure failure;
  if (internet) {
    ftp.internet_handle = *internet;
    auto connection =
        transfer::connect(ftp.internet_handle, settings.ftp_server, settings.ftp_user, settings.ftp_password);
    if (connection) {
      ftp.ftp_handle = *connection;
      read_remote_listing();
      show_remote_listing();
      return;
    }
    ftp.ftp_handle.reset();
    failure = connection.failure();
  } else {
    failure = internet.failure();
  }
  report_failure("FTP connection", failure);
  host.MsgBox("Fehler beim Verbindungsaufbau", MsgButtons::OK, kApplicationTitle);
}

}  // namespace qor
