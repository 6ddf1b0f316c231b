// One logged-in FTP connection over a single libcurl easy handle. The handle
// keeps the control connection between operations, so a listing and any
// number of downloads need one login; a control connection the server has
// dropped meanwhile is opened (and logged in) again on the next operation.
// Names and the account are bytes here, as they go on the wire.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/byte_sink.hpp"
#include "platform/ftp_transfer.hpp"
#include "platform/linux/curl/curl_easy.hpp"

namespace qor {

class TransferWatch;

struct RemoteEntry {
  std::string name;  // bytes as the server sent them
  bool directory = false;
  bool link = false;  // its size is that of the link, not of the file it leads to
  std::optional<std::uint64_t> size;
  std::optional<std::int64_t> modified;  // seconds since 1970
};

class FtpSession {
 public:
  // Connects (passive mode, never through a proxy) and logs in; fails when
  // the server cannot be reached or refuses the account.
  static Result<std::unique_ptr<FtpSession>> login(const std::string& base_url, const std::string& user,
                                                   const std::string& password, const TransferLimits& limits,
                                                   const KeepGoing& keep_going);

  // The entries of the login folder. An empty folder is an empty listing; a
  // listing past the limits' caps is a failure.
  Status list(std::vector<RemoteEntry>& entries, const KeepGoing& keep_going);

  // Streams a file of the login folder (binary) into sink; succeeds only
  // when it arrived whole. `name` is the bytes to ask for, `shown` the name
  // in reasons. The size announced is the server's answer to SIZE bounded
  // by `listed_size`, else that (download_bounds.hpp); a byte beyond it, or
  // beyond the cap where none was announced, ends the download as a
  // failure, as does a disk down to its reserve.
  Status retrieve(const std::string& name, const std::string& shown, std::optional<std::uint64_t> listed_size,
                  ByteSink& sink, const KeepGoing& keep_going);

  // Stores the local file at `local_path` (binary) as `name` (a path from the
  // login folder, bytes as on the wire); `shown` names it in reasons.
  Status store(const std::string& local_path, const std::string& name, const std::string& shown,
               const KeepGoing& keep_going);

  // Sends `commands` one after the other on the control connection, each
  // line as it is; the first refused (4xx/5xx) ends them as a failure.
  Status command(const std::vector<std::string>& commands, const std::string& what, const KeepGoing& keep_going);

 private:
  // Made by login alone.
  struct Token {
    explicit Token() = default;
  };

 public:
  FtpSession(Token, CurlMulti multi, CurlEasy easy, std::string base_url, const TransferLimits& limits);

 private:
  // One transfer on the kept connection (see ftp_session.cpp for why not
  // curl_easy_perform), ended early when the watch says so.
  CURLcode run_transfer(TransferWatch& watch);
  template <class Prepare>
  CURLcode perform(TransferWatch& watch, Prepare&& prepare);
  // The size the server answers to SIZE for a file, when it answers one.
  Result<std::optional<std::uint64_t>> remote_size(const std::string& url, const std::string& what,
                                                   const KeepGoing& keep_going);
  // What went wrong in the last transfer: the watch's reason, else libcurl's.
  Failure failure(const std::string& what, CURLcode code) const;

  // Declared first so that the easy handle is released before the multi
  // handle that holds its connection.
  CurlMulti multi_;
  CurlEasy easy_;
  std::string base_url_;
  TransferLimits limits_;
  // A transfer is running: the caller's events may not start another on
  // this handle.
  bool busy_ = false;
  // Why the watch ended the last transfer, when it did.
  std::optional<Failure> stopped_;
  // Why the sink refused bytes, when it did.
  std::optional<Failure> sink_failure_;
  char error_buffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace qor
