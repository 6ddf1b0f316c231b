// The six operations the FTP client is built on: open, connect, find first,
// find next, get file and close. Handles are RAII objects; a handle that is
// none (null) makes every later operation fail.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "find_data.hpp"
#include "transfer_options.hpp"

namespace qor {

class FtpSession;

// The open library (from transfer::open) or an FTP connection below it
// (from transfer::connect).
class InternetHandle {
 public:
  InternetHandle(std::string agent, TransferOptions options);
  InternetHandle(std::shared_ptr<const InternetHandle> parent, std::unique_ptr<FtpSession> session);
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  ~InternetHandle();

  const TransferOptions& options() const { return options_; }
  // The connection's session; null for the open handle.
  FtpSession* session() const { return session_.get(); }

 private:
  std::string agent_;
  TransferOptions options_;
  std::shared_ptr<const InternetHandle> parent_;
  std::unique_ptr<FtpSession> session_;
};

// An enumeration of the login folder, read whole when it starts.
class FindHandle {
 public:
  explicit FindHandle(std::vector<WIN32_FIND_DATA> entries) : entries_(std::move(entries)) {}
  bool next(WIN32_FIND_DATA& data);

 private:
  std::vector<WIN32_FIND_DATA> entries_;
  std::size_t next_ = 0;
};

namespace transfer {

// None when libcurl cannot be used.
std::shared_ptr<InternetHandle> open(const std::string& agent, const TransferOptions& options = {});

// Passive-mode FTP to "host" (port 21) or "host:port", logged in before it
// returns: none for an unreachable server or a refused login alike.
std::shared_ptr<InternetHandle> connect(const std::shared_ptr<InternetHandle>& internet, const std::string& server,
                                        const std::string& user, const std::string& password);

// Lists the login folder and fills data with its first entry (directories
// attribute 16, everything else 128; names as UTF-8, read as Windows-1252
// when they are not UTF-8). None, with data untouched, when the folder is
// empty or cannot be listed.
std::unique_ptr<FindHandle> find_first(const InternetHandle* connection, WIN32_FIND_DATA& data);

// The next entry; false when none is left or find is none.
bool find_next(FindHandle* find, WIN32_FIND_DATA& data);

// Fetches remote_name (a bare name in the login folder) in binary to
// local_path, replacing a file there only once the whole file arrived.
bool get_file(const InternetHandle* connection, const std::string& remote_name, const std::string& local_path);

void close(std::unique_ptr<FindHandle>& find);

}  // namespace transfer
}  // namespace qor
