// The internet check and the FTP client: connection, remote listing, download.
#pragma once

#include <string>

#include "file_system.hpp"
#include "ftp_transfer.hpp"
#include "http_fetch.hpp"

namespace qor {

class FormHost;

// True when the internet functions can be opened and the update server
// answers the check query with exactly "ok".
bool check_internet(const std::string& update_server, const FetchLimits& limits);

// Opens the FTP connection with the transfer settings and lists the login
// folder into listing_list; a failure is shown as "Fehler beim
// Verbindungsaufbau".
void connect_ftp(FormHost& host, const TransferLimits& limits);
void read_remote_listing();
void add_listing_entry();
void show_remote_listing();

// Fetches file_name from the login folder into local_folder (no trailing
// separator), put there as `placement` says. Shows "Übertragunsfehler" on
// failure; the old file stays as it was. A place that OnlyIfAbsent found
// taken keeps what is there, drops the download and is told on standard
// error only. True when the file arrived whole and is in place.
bool ftp_get_file(FormHost& host, FileSystem& file_system, const std::string& file_name,
                  const std::string& local_folder, const KeepGoing& keep_going = {},
                  Placement placement = Placement::Replace);

}  // namespace qor
