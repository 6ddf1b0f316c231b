// One logged-in FTP connection over a single libcurl easy handle. The handle
// keeps the control connection between operations, so a listing and any
// number of downloads need one login; a control connection the server has
// dropped meanwhile is opened (and logged in) again on the next operation.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "byte_sink.hpp"
#include "curl_easy.hpp"
#include "ftp_transfer.hpp"

namespace qor {

struct RemoteEntry {
  std::string name;  // bytes as the server sent them
  bool directory = false;
  std::optional<std::uint64_t> size;
  std::optional<std::int64_t> modified;  // seconds since 1970
};

class FtpSession {
 public:
  // Connects (passive mode) and logs in; fails when the server cannot be
  // reached or refuses the account.
  static Result<std::unique_ptr<FtpSession>> login(const std::string& base_url, const std::string& user,
                                                   const std::string& password, const TransferLimits& limits);

  // The entries of the login folder. An empty folder is an empty listing.
  Status list(std::vector<RemoteEntry>& entries);

  // Streams a file of the login folder (binary) into sink; succeeds only
  // when it arrived whole.
  Status retrieve(const std::string& name, ByteSink& sink);

 private:
  struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
  };
  using CurlMulti = std::unique_ptr<CURLM, MultiDeleter>;

  FtpSession(CurlMulti multi, CurlEasy easy, std::string base_url);
  // One transfer on the kept connection (see ftp_session.cpp for why not
  // curl_easy_perform).
  CURLcode run_transfer();
  template <class Prepare>
  CURLcode perform(Prepare&& prepare);
  // What went wrong in the last transfer, in libcurl's words.
  Failure failure(const std::string& what, CURLcode code) const;

  // Declared first so that the easy handle is released before the multi
  // handle that holds its connection.
  CurlMulti multi_;
  CurlEasy easy_;
  std::string base_url_;
  // Why the sink refused bytes, when it did.
  std::optional<Failure> sink_failure_;
  char error_buffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace qor
