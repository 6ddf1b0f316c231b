// The six operations the FTP client is built on: open, connect, find first,
// find next, get file and close. The handles are the platform's; step code
// holds them without looking inside. A handle that is none (null) makes
// every later operation fail.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "byte_sink.hpp"
#include "find_data.hpp"
#include "result.hpp"

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

struct TransferLimits {
  std::chrono::seconds connect_timeout{15};
  // A transfer slower than one byte a second for this long, or a server that
  // leaves a command unanswered this long, is given up.
  std::chrono::seconds stall_time{30};
};

// Asked between pieces of a transfer; false abandons it.
using KeepGoing = std::function<bool()>;

namespace transfer {

// Fails when the platform's internet functions cannot be used.
Result<std::shared_ptr<InternetHandle>> open(const std::string& agent, const TransferLimits& limits = {});

// Passive-mode FTP to "host" (port 21) or "host:port", logged in before it
// returns: a failure for an unreachable server and a refused login alike.
Result<std::shared_ptr<InternetHandle>> connect(const std::shared_ptr<InternetHandle>& internet,
                                                const std::string& server, const std::string& user,
                                                const std::string& password);

// The failure code of find_first for a folder without entries.
inline constexpr long kNoMoreFiles = 18;

// Lists the login folder and fills data with its first entry (folders
// attribute 16, everything else 128). A failure, with data untouched, when
// the folder is empty (code kNoMoreFiles) or cannot be listed.
Result<FindHandlePtr> find_first(const InternetHandle* connection, WIN32_FIND_DATA& data);

// The next entry; false when none is left or find is none.
bool find_next(FindHandle* find, WIN32_FIND_DATA& data);

// Streams remote_name (a bare name in the login folder) in binary into sink;
// succeeds only when the whole file arrived.
Status get_file(const InternetHandle* connection, const std::string& remote_name, ByteSink& sink,
                const KeepGoing& keep_going = {});

}  // namespace transfer
}  // namespace qor
