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
#include "transfer_options.hpp"

namespace qor {

struct RemoteEntry {
  std::string name;  // bytes as the server sent them
  bool directory = false;
  std::optional<std::uint64_t> size;
  std::optional<std::int64_t> modified;  // seconds since 1970
};

class FtpSession {
 public:
  // Connects (passive mode) and logs in; none when the server cannot be
  // reached or refuses the account.
  static std::unique_ptr<FtpSession> login(const std::string& base_url, const std::string& user,
                                           const std::string& password, const TransferOptions& options);

  // The entries of the login folder. An empty folder is an empty listing;
  // false when the listing could not be read.
  bool list(std::vector<RemoteEntry>& entries);

  // Streams a file of the login folder (binary) into sink; true only when
  // it arrived whole.
  bool retrieve(const std::string& name, ByteSink& sink);

  // libcurl's account of the last failure, for diagnostics.
  const std::string& last_error() const { return last_error_; }

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

  // Declared first so that the easy handle is released before the multi
  // handle that holds its connection.
  CurlMulti multi_;
  CurlEasy easy_;
  std::string base_url_;
  std::string last_error_;
  char error_buffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace qor
