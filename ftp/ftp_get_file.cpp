// Fetches one package file from the login folder. The name must address a
// file there and nothing else: it comes from the server, and a separator or
// ".." in it would reach other remote folders and write outside the target.
#include "QOR_sync_FRM.hpp"
#include "QOR_sync_ftp_MOD.hpp"
#include "app_title.hpp"
#include "file_system.hpp"
#include "ftp_address.hpp"
#include "transfer_layer.hpp"

namespace qor {

bool ftp_get_file(QOR_sync_FRM& form, const std::string& file_name, const std::string& local_folder) {
  const auto& ftp = form.shared().ftp;
  const bool arrived = is_bare_file_name(file_name) &&
                       transfer::get_file(ftp.ftp_handle.get(), file_name, local_path(local_folder) + "/" + file_name);
  if (!arrived) form.host().MsgBox("Übertragunsfehler", MsgButtons::OK, kApplicationTitle);
  return arrived;
}

}  // namespace qor
