// The six operations the FTP client is built on: open, connect, find first,
// find next, get file and close. The handles are the platform's; step code
// holds them without looking inside. A handle that is none (null) makes
// every later operation fail.
//
// Names and accounts are UTF-8 here. On the wire a name goes with the bytes
// the connection's last listing used for it (a listing in Windows-1252 is
// shown as UTF-8, yet the server knows the name only by its own bytes); a
// name the listing did not show, and the user and password, go in the code
// page the servers were written for where every character has a byte there,
// else in UTF-8: on Windows the system's ANSI code page, then Windows-1252;
// elsewhere Windows-1252.
//
// No operation runs without end: each has a deadline (TransferLimits), a
// listing is capped in bytes and entries, a download ends at the size
// announced for it (or at a cap where none was) and never fills the disk,
// and the caller is asked between pieces whether to go on.
// The connection never goes through a proxy.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/byte_sink.hpp"
#include "platform/find_data.hpp"
#include "platform/keep_going.hpp"
#include "portable/result/result.hpp"

namespace qor {

// The open library (from transfer::open) or an FTP connection below it
// (from transfer::connect).
class InternetHandle;
// An enumeration of the login folder.
class FindHandle;
struct FindHandleCloser {
  void operator()(FindHandle* find) const;
};
using FindHandlePtr = std::unique_ptr<FindHandle, FindHandleCloser>;

// Every limit of the FTP side, in one place; the wiring passes them in, tests
// shorten them.
struct TransferLimits {
  std::chrono::seconds connect_timeout{15};
  // A transfer slower than one byte a second for this long, or a server that
  // leaves a command unanswered this long, is given up.
  std::chrono::seconds stall_time{30};
  // The whole of one operation (login, listing, download) may take the floor
  // plus the time its bytes take at the least rate: the size announced for
  // a download, or what has arrived where that is more (a listing announces
  // nothing). A server that trickles a byte now and then passes any stall
  // limit; this ends it.
  std::chrono::seconds deadline_floor{60};
  std::uint64_t min_rate = std::uint64_t{16} * 1024;  // bytes a second
  // A listing larger than this, or with more entries, fails; far above any
  // real package folder, low enough that memory stays bounded.
  std::uint64_t max_listing_bytes = std::uint64_t{64} << 20;
  std::size_t max_listing_entries = 200'000;
  // A download for which neither the listing nor SIZE gave a size fails
  // past this many bytes (it is still held to the least rate above).
  std::uint64_t max_unannounced_bytes = std::uint64_t{4} << 30;
  // Every download leaves at least this much free on the disk it writes to:
  // the larger of disk_reserve_percent of the disk and disk_reserve_floor.
  // One whose size does not fit above the reserve is not started; one that
  // brings the disk down to the reserve is stopped.
  std::uint64_t disk_reserve_floor = std::uint64_t{256} << 20;
  unsigned disk_reserve_percent = 1;

  // How long an operation with `bytes` announced (or arrived) may take.
  std::chrono::milliseconds time_allowed(std::uint64_t bytes) const {
    const double rate = min_rate == 0 ? 1.0 : static_cast<double>(min_rate);
    // Capped at about three years, so that no size can overflow the clock.
    const double at_rate = std::min(static_cast<double>(bytes) / rate * 1000.0, 1e11);
    return std::chrono::milliseconds(deadline_floor) + std::chrono::milliseconds(static_cast<std::int64_t>(at_rate));
  }
};

namespace transfer {

// Fails when the platform's internet functions cannot be used.
Result<std::shared_ptr<InternetHandle>> open(const std::string& agent, const TransferLimits& limits = {});

// Passive-mode FTP to "host" (port 21) or "host:port", logged in before it
// returns: a failure for an unreachable server and a refused login alike.
Result<std::shared_ptr<InternetHandle>> connect(const std::shared_ptr<InternetHandle>& internet,
                                                const std::string& server, const std::string& user,
                                                const std::string& password, const KeepGoing& keep_going = {});

// The failure code of find_first for a folder without entries.
inline constexpr long kNoMoreFiles = 18;
// The failure code of an operation that keep_going abandoned.
using qor::kAbandoned;

// Lists the login folder and fills data with its first entry (folders
// attribute 16, everything else 128). A failure, with data untouched, when
// the folder is empty (code kNoMoreFiles) or cannot be listed, and when the
// listing passes max_listing_bytes or max_listing_entries. The connection
// remembers the listing's names, with their bytes and sizes, until the next
// listing.
Result<FindHandlePtr> find_first(const InternetHandle* connection, WIN32_FIND_DATA& data,
                                 const KeepGoing& keep_going = {});

// The next entry; false when none is left or find is none.
bool find_next(FindHandle* find, WIN32_FIND_DATA& data);

// Streams remote_name (a bare name in the login folder) in binary into sink;
// succeeds only when the whole file arrived. The size announced for it is
// the server's answer to SIZE, bounded by the last listing's size for the
// name (download_bounds.hpp), else the listing's; a byte beyond it cuts the
// download, which then fails. A size the sink's disk has no room for is
// refused before the first byte.
Status get_file(const InternetHandle* connection, const std::string& remote_name, ByteSink& sink,
                const KeepGoing& keep_going = {});

// Uploads, for the vendor's publishing tool. A remote name here is a name in
// the login folder, or a path from it ("../php_scripts/catalogue.json"), sent
// with the bytes get_file would ask for it; one holding a control character
// is refused before anything is sent, as it could add commands.

// Stores the local file `local_path` (UTF-8) in binary under `remote_name`,
// replacing what the server holds there; succeeds only when the server
// confirmed every byte. The deadline is that of a download of the file's size.
Status put_file(const InternetHandle* connection, const std::string& local_path, const std::string& remote_name,
                const KeepGoing& keep_going = {});

// RNFR `from`, RNTO `to`: the server replaces `to` at once, so a reader sees
// the old file or the new one, never a part.
Status rename(const InternetHandle* connection, const std::string& from, const std::string& to,
              const KeepGoing& keep_going = {});

// DELE `remote_name`.
Status remove(const InternetHandle* connection, const std::string& remote_name, const KeepGoing& keep_going = {});

}  // namespace transfer
}  // namespace qor
