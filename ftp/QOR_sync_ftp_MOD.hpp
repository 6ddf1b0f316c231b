// The internet check and the FTP client: connection, remote listing, download.
#pragma once

#include <string>

namespace qor {

class QOR_sync_FRM;

bool check_internet(const std::string& update_server);
void connect_ftp(QOR_sync_FRM& form);
void read_remote_listing();
void add_listing_entry();
void show_remote_listing();
// Fetches file_name from the login folder into local_folder (no trailing
// separator). Shows "Übertragunsfehler" on failure; the old file stays as it
// was. The result is true when the file arrived whole.
bool ftp_get_file(QOR_sync_FRM& form, const std::string& file_name, const std::string& local_folder);

}  // namespace qor
