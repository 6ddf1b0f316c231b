// Opens the FTP connection with the transfer settings and shows the remote
// folder. A failed open keeps the earlier connection in ftp_handle; a failed
// connect leaves ftp_handle empty.
#include "QOR_sync_FRM.hpp"
#include "QOR_sync_ftp_MOD.hpp"
#include "app_title.hpp"
#include "transfer_layer.hpp"

namespace qor {

void connect_ftp(QOR_sync_FRM& form) {
  auto& ftp = form.shared().ftp;
  const auto& settings = form.shared().mod;
  ftp.transfer_type = 0;
  ftp.internet_handle = transfer::open("QOR sync");
  if (ftp.internet_handle) {
    ftp.ftp_handle =
        transfer::connect(ftp.internet_handle, settings.ftp_server, settings.ftp_user, settings.ftp_password);
    if (ftp.ftp_handle) {
      read_remote_listing();
      show_remote_listing();
      return;
    }
  }
  form.host().MsgBox("Fehler beim Verbindungsaufbau", MsgButtons::OK, kApplicationTitle);
}

}  // namespace qor
