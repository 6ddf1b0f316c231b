#include "ftp_session.hpp"

#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace qor {

namespace {

// Failures that a control connection gone stale while idle produces on its
// first use; such an attempt is repeated once on a fresh connection.
bool stale_connection_symptom(CURLcode rc) {
  switch (rc) {
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_COULDNT_CONNECT:
      return true;
    default:
      return false;
  }
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

struct SinkContext {
  ByteSink& sink;
  std::optional<Failure>& failure;
};

std::size_t to_sink(char* data, std::size_t size, std::size_t count, void* user) {
  auto& context = *static_cast<SinkContext*>(user);
  const std::size_t bytes = size * count;
  Status written = context.sink.write(data, bytes);
  if (written) return bytes;
  context.failure = written.failure();
  return 0;  // makes libcurl stop with a write error
}

int match_every_name(void*, const char*, const char*) { return CURL_FNMATCHFUNC_MATCH; }

long take_entry(const void* transfer_info, void* user, int) {
  const auto* info = static_cast<const curl_fileinfo*>(transfer_info);
  auto* entries = static_cast<std::vector<RemoteEntry>*>(user);
  RemoteEntry entry;
  entry.name = info->filename != nullptr ? info->filename : "";
  entry.directory = info->filetype == CURLFILETYPE_DIRECTORY;
  if (info->flags & CURLFINFOFLAG_KNOWN_SIZE) entry.size = static_cast<std::uint64_t>(info->size);
  if (info->flags & CURLFINFOFLAG_KNOWN_TIME) entry.modified = static_cast<std::int64_t>(info->time);
  entries->push_back(std::move(entry));
  // The listing is all we want: no entry is downloaded.
  return CURL_CHUNK_BGN_FUNC_SKIP;
}

long entry_done(void*) { return CURL_CHUNK_END_FUNC_OK; }

struct CurlFree {
  void operator()(char* p) const { curl_free(p); }
};

}  // namespace

FtpSession::FtpSession(CurlMulti multi, CurlEasy easy, std::string base_url)
    : multi_(std::move(multi)), easy_(std::move(easy)), base_url_(std::move(base_url)) {}

// libcurl 7.88 at times misses an FTP reply that is already waiting on a
// kept control connection and sleeps out its whole one-second wait before it
// looks again (seen after EPSV/PASV, once every few transfers). Driving the
// transfer with a short wait bounds that loss to a few milliseconds.
CURLcode FtpSession::run_transfer() {
  constexpr int kWaitMs = 5;
  CURLM* multi = multi_.get();
  if (curl_multi_add_handle(multi, easy_.get()) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode rc = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      rc = CURLE_FAILED_INIT;
      break;
    }
    if (running == 0) {
      int left = 0;
      for (CURLMsg* msg; (msg = curl_multi_info_read(multi, &left)) != nullptr;)
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy_.get()) rc = msg->data.result;
      break;
    }
    curl_multi_poll(multi, nullptr, 0, kWaitMs, nullptr);
  }
  curl_multi_remove_handle(multi, easy_.get());
  return rc;
}

Failure FtpSession::failure(const std::string& what, CURLcode code) const {
  return {what + ": " + (error_buffer_[0] != '\0' ? error_buffer_ : curl_easy_strerror(code)), code};
}

Result<std::unique_ptr<FtpSession>> FtpSession::login(const std::string& base_url, const std::string& user,
                                                      const std::string& password, const TransferLimits& limits) {
  CurlEasy easy = make_curl_easy();
  CurlMulti multi{easy ? curl_multi_init() : nullptr};
  if (!easy || !multi) return Failure{"log in to " + base_url + ": libcurl cannot be used"};
  std::unique_ptr<FtpSession> session{new FtpSession(std::move(multi), std::move(easy), base_url)};
  CURL* h = session->easy_.get();
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, session->error_buffer_);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  // Every name is addressed in the login folder: no folder changes.
  curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
  curl_easy_setopt(h, CURLOPT_USERNAME, user.c_str());
  curl_easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
  const long stall_s = static_cast<long>(limits.stall_time.count());
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connect_timeout.count()));
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stall_s);
  curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, stall_s);
  curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 256L * 1024L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
  // Logging in and asking for the folder is all a body-less request does.
  curl_easy_setopt(h, CURLOPT_URL, (base_url + "/").c_str());
  curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  const CURLcode rc = session->run_transfer();
  curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
  if (rc != CURLE_OK) return session->failure("log in to " + base_url + " as " + user, rc);
  return session;
}

template <class Prepare>
CURLcode FtpSession::perform(Prepare&& prepare) {
  CURL* h = easy_.get();
  error_buffer_[0] = '\0';
  CURLcode rc = CURLE_OK;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!prepare()) return CURLE_WRITE_ERROR;
    rc = run_transfer();
    long reply = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &reply);
    // 421: the server closed the control connection (idle time-out).
    if (rc == CURLE_OK || attempt > 0 || !(stale_connection_symptom(rc) || reply == 421)) break;
    long new_connections = 0;
    curl_off_t received = 0;
    curl_easy_getinfo(h, CURLINFO_NUM_CONNECTS, &new_connections);
    curl_easy_getinfo(h, CURLINFO_SIZE_DOWNLOAD_T, &received);
    // Only an attempt that failed on a kept connection before any data
    // arrived is repeated; anything else is a real failure.
    if (new_connections != 0 || received != 0) break;
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
  }
  curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 0L);
  return rc;
}

Status FtpSession::list(std::vector<RemoteEntry>& entries) {
  CURL* h = easy_.get();
  curl_easy_setopt(h, CURLOPT_URL, (base_url_ + "/*").c_str());
  curl_easy_setopt(h, CURLOPT_WILDCARDMATCH, 1L);
  curl_easy_setopt(h, CURLOPT_FNMATCH_FUNCTION, match_every_name);
  curl_easy_setopt(h, CURLOPT_CHUNK_BGN_FUNCTION, take_entry);
  curl_easy_setopt(h, CURLOPT_CHUNK_END_FUNCTION, entry_done);
  curl_easy_setopt(h, CURLOPT_CHUNK_DATA, &entries);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
#if defined(__SANITIZE_ADDRESS__)
  // libcurl 7.88's listing parser never frees the record of an entry that is
  // skipped; the leak is libcurl's, so the leak checker ignores this call only.
  const __lsan::ScopedDisabler libcurl_listing_leaks;
#endif
  const CURLcode rc = perform([&] {
    entries.clear();
    return true;
  });
  curl_easy_setopt(h, CURLOPT_WILDCARDMATCH, 0L);
  curl_easy_setopt(h, CURLOPT_FNMATCH_FUNCTION, nullptr);
  curl_easy_setopt(h, CURLOPT_CHUNK_BGN_FUNCTION, nullptr);
  curl_easy_setopt(h, CURLOPT_CHUNK_END_FUNCTION, nullptr);
  curl_easy_setopt(h, CURLOPT_CHUNK_DATA, nullptr);
  // libcurl reports a folder without entries as "nothing matched".
  if (rc == CURLE_OK || (rc == CURLE_REMOTE_FILE_NOT_FOUND && entries.empty())) return {};
  return failure("list " + base_url_, rc);
}

Status FtpSession::retrieve(const std::string& name, ByteSink& sink) {
  CURL* h = easy_.get();
  const std::string what = "fetch " + name;
  const std::unique_ptr<char, CurlFree> escaped{curl_easy_escape(h, name.data(), static_cast<int>(name.size()))};
  if (!escaped) return Failure{what + ": the name cannot be sent"};
  curl_easy_setopt(h, CURLOPT_URL, (base_url_ + "/" + escaped.get()).c_str());
  curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
  SinkContext context{sink, sink_failure_};
  sink_failure_.reset();
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, to_sink);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &context);
  bool first = true;
  const CURLcode rc = perform([&] {
    if (std::exchange(first, false)) return true;
    Status rewound = sink.rewind();
    if (!rewound) sink_failure_ = rewound.failure();
    return static_cast<bool>(rewound);
  });
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
  if (sink_failure_) return *sink_failure_;
  if (rc != CURLE_OK) return failure(what, rc);
  // libcurl compares against the size the server announced; this repeats
  // that check so that a short file can never count as arrived.
  curl_off_t expected = -1;
  curl_off_t received = 0;
  curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
  curl_easy_getinfo(h, CURLINFO_SIZE_DOWNLOAD_T, &received);
  if (expected >= 0 && expected != received)
    return Failure{what + ": received " + std::to_string(received) + " of " + std::to_string(expected) + " bytes"};
  return {};
}

}  // namespace qor
