// The internet check and the FTP client: connection, remote listing, download.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.hpp"
#include "platform/ftp_transfer.hpp"
#include "platform/http_fetch.hpp"
#include "portable/release/crypto_values.hpp"
#include "window/fetch_outcome.hpp"

namespace qor {

class FormHost;
class TransferFailures;

// What a signed release says one of its files is.
struct VouchedFile {
  std::uint64_t size = 0;
  crypto::Sha256Digest sha256{};
};

// True when the internet functions can be opened and the update server
// answers the check query with exactly "ok". The query is abandoned (false)
// once keep_going says so.
bool check_internet(const std::string& update_server, const FetchLimits& limits, const KeepGoing& keep_going = {});

// Opens the FTP connection with the transfer settings and lists the login
// folder into listing_list; a failure of either (settings with a control
// character, a listing past its caps) is shown as "Fehler beim
// Verbindungsaufbau". The window handles its events meanwhile; once it is
// closed, the attempt ends without a message.
void connect_ftp(FormHost& host, const TransferLimits& limits);
// Reads the login folder into remote_listing (an empty folder is no
// failure); what was read stands even when the listing failed.
Status read_remote_listing(const KeepGoing& keep_going = {});
void add_listing_entry();
void show_remote_listing();

// Fetches file_name from the login folder into local_folder (no trailing
// separator), put there as `placement` says. Shows "Übertragunsfehler" on
// failure; the old file stays as it was. A place that OnlyIfAbsent found
// taken keeps what is there, drops the download and is told on standard
// error only. The window handles its events while the file arrives; once it
// is closed, the transfer is abandoned without a message and nothing of it
// stays.
FetchOutcome ftp_get_file(FormHost& host, FileSystem& file_system, const std::string& file_name,
                          const std::string& local_folder, Placement placement = Placement::Replace);
// The same within a download run: the failure is told through the run's
// `failures`, which limits the boxes.
FetchOutcome ftp_get_file(FormHost& host, FileSystem& file_system, const std::string& file_name,
                          const std::string& local_folder, Placement placement, TransferFailures& failures);
// The same for a file of a placement run: a file that arrived whole is held
// by `run` (Held) and put in place by the run's place_all() as `placing`
// says, which the caller tells with tell_placement.
// With `vouched` (a client built with the vendor's key), the file is held
// only when its size and SHA-256, computed as its bytes arrive, are those
// the signed release names; otherwise it fails and the old file stays.
FetchOutcome ftp_get_file(FormHost& host, FileSystem& file_system, const std::string& file_name,
                          const std::string& local_folder, const Placing& placing, TransferFailures& failures,
                          PlacementRun& run, const VouchedFile* vouched = nullptr);
FetchOutcome ftp_get_file(FormHost& host, FileSystem& file_system, const std::string& file_name,
                          const std::string& local_folder, const Placing& placing, PlacementRun& run);

}  // namespace qor
