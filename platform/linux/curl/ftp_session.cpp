#include "platform/linux/curl/ftp_session.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "portable/transfer/download_bounds.hpp"
#include "portable/transfer/download_resume.hpp"
#include "portable/transfer/transfer_watch.hpp"

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

// libcurl reads up to a hundred buffers in one step; small ones keep a
// listing's caps close to exact.
constexpr long kListingBuffer = 16L * 1024L;
constexpr long kDownloadBuffer = 256L * 1024L;

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

struct Busy {
  explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;
  ~Busy() { flag_ = false; }

 private:
  bool& flag_;
};

struct SlistFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct CurlFree {
  void operator()(char* p) const { curl_free(p); }
};

// --- downloads ---

struct SinkContext {
  ByteSink& sink;
  std::optional<Failure>& failure;
  const std::string& what;
  std::optional<std::uint64_t> listed_size;
  std::optional<std::uint64_t> size_reply;
  DownloadBounds& bounds;
  DownloadResume& resume;
  std::uint64_t received = 0;  // in the sink
  bool started = false;

  std::optional<std::uint64_t> announced() const { return size_to_hold_to(listed_size, size_reply); }
};

std::size_t to_sink(char* data, std::size_t size, std::size_t count, void* user) {
  auto& context = *static_cast<SinkContext*>(user);
  const std::size_t bytes = size * count;
  // SIZE was answered (or not) before the data began. A resumed transfer
  // was measured against the disk when it first began.
  if (!std::exchange(context.started, true) && !context.resume.rest_offset())
    context.failure = context.bounds.refuse(context.announced());
  if (context.failure) return 0;  // makes libcurl stop with a write error
  const auto fresh = context.resume.take({data, bytes}, context.announced());
  if (!fresh) return 0;
  context.failure = context.bounds.admit(context.announced(), context.received, fresh->size());
  if (context.failure) return 0;
  Status written = context.sink.write(fresh->data(), fresh->size());
  if (!written) {
    context.failure = written.failure();
    return 0;
  }
  context.resume.wrote(*fresh);
  context.received += fresh->size();
  return bytes;
}

// The server's replies: the one to our SIZE is the size announced; a file
// the server does not have (550, to SIZE or RETR) ends the transfer before
// anything is asked for it.
std::size_t read_reply(char* data, std::size_t size, std::size_t count, void* user) {
  auto& context = *static_cast<SinkContext*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("550 ")) {
    context.failure = Failure{context.what + ": The file does not exist", CURLE_REMOTE_FILE_NOT_FOUND};
    return 0;  // makes libcurl stop with a write error
  }
  if (const auto answered = size_in_reply(line)) context.size_reply = answered;
  return size * count;
}

// --- listings ---

struct ListContext {
  std::vector<RemoteEntry>& entries;
  std::size_t max_entries;
  bool too_many = false;
  std::uint64_t line_ends = 0;
  std::uint64_t bytes = 0;
};

int match_every_name(void*, const char*, const char*) { return CURL_FNMATCHFUNC_MATCH; }

long take_entry(const void* transfer_info, void* user, int) {
  const auto* info = static_cast<const curl_fileinfo*>(transfer_info);
  auto& context = *static_cast<ListContext*>(user);
  if (context.entries.size() >= context.max_entries) {
    context.too_many = true;
    return CURL_CHUNK_BGN_FUNC_FAIL;
  }
  RemoteEntry entry;
  entry.name = info->filename != nullptr ? info->filename : "";
  entry.directory = info->filetype == CURLFILETYPE_DIRECTORY;
  entry.link = info->filetype == CURLFILETYPE_SYMLINK;
  if (info->flags & CURLFINFOFLAG_KNOWN_SIZE) entry.size = static_cast<std::uint64_t>(info->size);
  if (info->flags & CURLFINFOFLAG_KNOWN_TIME) entry.modified = static_cast<std::int64_t>(info->time);
  context.entries.push_back(std::move(entry));
  // The listing is all we want: no entry is downloaded.
  return CURL_CHUNK_BGN_FUNC_SKIP;
}

long entry_done(void*) { return CURL_CHUNK_END_FUNC_OK; }

// libcurl parses the whole listing before it hands out the first entry; its
// bytes, seen here as they arrive, let the entries be counted in time to
// keep that parse bounded.
int count_line_ends(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
  if (type != CURLINFO_DATA_IN) return 0;
  auto& context = *static_cast<ListContext*>(user);
  context.line_ends += std::count(data, data + size, '\n');
  context.bytes += size;
  return 0;
}

}  // namespace

FtpSession::FtpSession(Token, CurlMulti multi, CurlEasy easy, std::string base_url, const TransferLimits& limits)
    : multi_(std::move(multi)), easy_(std::move(easy)), base_url_(std::move(base_url)), limits_(limits) {}

// libcurl 7.88 at times misses an FTP reply that is already waiting on a
// kept control connection and sleeps out its whole one-second wait before it
// looks again (seen after EPSV/PASV, once every few transfers). Driving the
// transfer with a short wait bounds that loss to a few milliseconds, and
// lets the watch look at it between the steps.
CURLcode FtpSession::run_transfer(TransferWatch& watch) {
  constexpr int kWaitMs = 5;
  return run_watched(multi_.get(), easy_.get(), kWaitMs, watch, stopped_);
}

Failure FtpSession::failure(const std::string& what, CURLcode code) const {
  if (stopped_) return *stopped_;
  return {what + ": " + (error_buffer_[0] != '\0' ? error_buffer_ : curl_easy_strerror(code)), code};
}

Result<std::unique_ptr<FtpSession>> FtpSession::login(const std::string& base_url, const std::string& user,
                                                      const std::string& password, const TransferLimits& limits,
                                                      const KeepGoing& keep_going) {
  CurlEasy easy = make_curl_easy();
  CurlMulti multi{easy ? curl_multi_init() : nullptr};
  if (!easy || !multi) return Failure{"log in to " + base_url + ": libcurl cannot be used"};
  auto session = std::make_unique<FtpSession>(Token{}, std::move(multi), std::move(easy), base_url, limits);
  CURL* h = session->easy_.get();
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, session->error_buffer_);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  // The FTP server is reached directly; proxies from the environment are
  // for the web, and an HTTP proxy would change what FTP means.
  curl_easy_setopt(h, CURLOPT_PROXY, "");
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
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kDownloadBuffer);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
  // Logging in and asking for the folder is all a body-less request does.
  curl_easy_setopt(h, CURLOPT_URL, (base_url + "/").c_str());
  curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  const std::string what = "log in to " + base_url + " as " + user;
  TransferWatch watch(session->limits_, keep_going, what);
  const CURLcode rc = session->run_transfer(watch);
  curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
  if (rc != CURLE_OK) return session->failure(what, rc);
  return session;
}

template <class Prepare>
CURLcode FtpSession::perform(TransferWatch& watch, Prepare&& prepare) {
  CURL* h = easy_.get();
  error_buffer_[0] = '\0';
  CURLcode rc = CURLE_OK;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!prepare()) return CURLE_WRITE_ERROR;
    rc = run_transfer(watch);
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

Status FtpSession::list(std::vector<RemoteEntry>& entries, const KeepGoing& keep_going) {
  const std::string what = "list " + base_url_;
  if (busy_) return Failure{what + ": the connection is busy with another transfer"};
  const Busy busy(busy_);
  const auto too_many = [this] {
    return "the listing has more than " + std::to_string(limits_.max_listing_entries) + " entries";
  };
  ListContext context{entries, limits_.max_listing_entries, false, 0};
  CURL* h = easy_.get();
  curl_easy_setopt(h, CURLOPT_URL, (base_url_ + "/*").c_str());
  curl_easy_setopt(h, CURLOPT_WILDCARDMATCH, 1L);
  curl_easy_setopt(h, CURLOPT_FNMATCH_FUNCTION, match_every_name);
  curl_easy_setopt(h, CURLOPT_CHUNK_BGN_FUNCTION, take_entry);
  curl_easy_setopt(h, CURLOPT_CHUNK_END_FUNCTION, entry_done);
  curl_easy_setopt(h, CURLOPT_CHUNK_DATA, &context);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, count_line_ends);
  curl_easy_setopt(h, CURLOPT_DEBUGDATA, &context);
  curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kListingBuffer);
  // Counted from the bytes as they came: a listing that arrives whole between
  // two looks of the watch is held to the caps all the same.
  const auto past_a_cap = [&]() -> std::optional<std::string> {
    if (context.bytes > limits_.max_listing_bytes)
      return "the listing is larger than " + std::to_string(limits_.max_listing_bytes) + " bytes";
    // A line per entry, and one for the total some servers write first.
    if (context.line_ends > limits_.max_listing_entries + 1) return too_many();
    return std::nullopt;
  };
  TransferWatch watch(limits_, keep_going, what);
  watch.cap = [&](std::uint64_t) { return past_a_cap(); };
  CURLcode rc = CURLE_OK;
  {
#if defined(__SANITIZE_ADDRESS__)
    // libcurl 7.88's listing parser never frees the record of an entry that
    // is skipped; the leak is libcurl's, so the leak checker ignores it.
    const __lsan::ScopedDisabler libcurl_listing_leaks;
#endif
    rc = perform(watch, [&] {
      entries.clear();
      context.line_ends = 0;
      context.bytes = 0;
      return true;
    });
  }
  curl_easy_setopt(h, CURLOPT_WILDCARDMATCH, 0L);
  curl_easy_setopt(h, CURLOPT_FNMATCH_FUNCTION, nullptr);
  curl_easy_setopt(h, CURLOPT_CHUNK_BGN_FUNCTION, nullptr);
  curl_easy_setopt(h, CURLOPT_CHUNK_END_FUNCTION, nullptr);
  curl_easy_setopt(h, CURLOPT_CHUNK_DATA, nullptr);
  curl_easy_setopt(h, CURLOPT_VERBOSE, 0L);
  curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, nullptr);
  curl_easy_setopt(h, CURLOPT_DEBUGDATA, nullptr);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kDownloadBuffer);
  if (context.too_many) return Failure{what + ": " + too_many()};
  if (const auto past = past_a_cap(); past && !stopped_) {
    entries.clear();
    return Failure{what + ": " + *past};
  }
  // libcurl reports a folder without entries as "nothing matched".
  if (rc == CURLE_OK || (rc == CURLE_REMOTE_FILE_NOT_FOUND && entries.empty())) return {};
  entries.clear();
  return failure(what, rc);
}

Status FtpSession::retrieve(const std::string& name, const std::string& shown, std::optional<std::uint64_t> listed_size,
                            ByteSink& sink, const KeepGoing& keep_going) {
  const std::string what = "fetch " + shown;
  if (busy_) return Failure{what + ": the connection is busy with another transfer"};
  // The name also goes into a command of its own (SIZE): a line break would
  // add commands.
  if (name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    return Failure{what + ": the name holds a line break"};
  const Busy busy(busy_);
  CURL* h = easy_.get();
  const std::unique_ptr<char, CurlFree> escaped{curl_easy_escape(h, name.data(), static_cast<int>(name.size()))};
  if (!escaped) return Failure{what + ": the name cannot be sent"};
  // libcurl's own SIZE would cut the file at the size announced without a
  // word, so a longer file would pass for whole; asked by the client, the
  // answer is the client's to hold the file to. A resumed transfer asks
  // for its REST last, right before the RETR, as servers want it.
  // (libcurl's own resume sends no REST once it asks no SIZE.)
  const std::string size_line = "*SIZE " + name;
  std::unique_ptr<curl_slist, SlistFree> commands;
  curl_easy_setopt(h, CURLOPT_URL, (base_url_ + "/" + escaped.get()).c_str());
  curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
  curl_easy_setopt(h, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
  DownloadBounds bounds(limits_, sink, what);
  DownloadResume resume;
  SinkContext context{sink, sink_failure_, what, listed_size, std::nullopt, bounds, resume};
  sink_failure_.reset();
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, to_sink);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &context);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, read_reply);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &context);
  // One watch for every transfer of the file: its deadline holds across
  // the resumes.
  TransferWatch watch(limits_, keep_going, what);
  watch.announced = [&context] { return context.announced().value_or(0); };
  const auto prepare = [&] {
    context.size_reply.reset();
    context.started = false;
    resume.begin();
    const auto rest = resume.rest_offset();
    if (!rest && context.received > 0) {
      Status rewound = sink.rewind();
      if (!rewound) {
        sink_failure_ = rewound.failure();
        return false;
      }
      context.received = 0;
    }
    commands.reset(curl_slist_append(nullptr, size_line.c_str()));
    if (commands && rest) {
      curl_slist* more = curl_slist_append(commands.get(), ("REST " + std::to_string(*rest)).c_str());
      if (more == nullptr) commands.reset();
    }
    if (!commands) {
      sink_failure_ = Failure{what + ": libcurl cannot be used"};
      return false;
    }
    curl_easy_setopt(h, CURLOPT_PREQUOTE, commands.get());
    return true;
  };
  CURLcode rc = CURLE_OK;
  for (;;) {
    rc = perform(watch, prepare);
    if (rc == CURLE_OK || stopped_ || sink_failure_) break;
    // A REST the server refused (an answer of 400 or more) fails its command.
    const bool rest_refused = resume.rest_offset() && rc == CURLE_QUOTE_ERROR;
    const bool broke_off = rc != CURLE_WRITE_ERROR;
    if (!resume.next_after(broke_off, rest_refused, context.received, context.announced())) break;
  }
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, nullptr);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, nullptr);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, nullptr);
  curl_easy_setopt(h, CURLOPT_PREQUOTE, nullptr);
  curl_easy_setopt(h, CURLOPT_IGNORE_CONTENT_LENGTH, 0L);
  if (sink_failure_) return *sink_failure_;
  if (rc != CURLE_OK) return failure(what, rc);
  // A short file never counts as arrived.
  if (auto short_file = bounds.fall_short(context.announced(), context.received)) return *short_file;
  return {};
}

// --- uploads, for the vendor's publishing tool ---

namespace {

struct SourceContext {
  std::ifstream& in;
  bool failed = false;
};

std::size_t from_file(char* buffer, std::size_t size, std::size_t count, void* user) {
  auto& context = *static_cast<SourceContext*>(user);
  context.in.read(buffer, static_cast<std::streamsize>(size * count));
  if (context.in.bad()) {
    context.failed = true;
    return CURL_READFUNC_ABORT;
  }
  return static_cast<std::size_t>(context.in.gcount());
}

}  // namespace

Status FtpSession::store(const std::string& local_path, const std::string& name, const std::string& shown,
                         const KeepGoing& keep_going) {
  const std::string what = "upload " + shown;
  if (busy_) return Failure{what + ": the connection is busy with another transfer"};
  const std::filesystem::path path(std::u8string(local_path.begin(), local_path.end()));
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return Failure{what + ": cannot read " + local_path + ": " + ec.message(), ec.value()};
  std::ifstream in(path, std::ios::binary);
  if (!in) return Failure{what + ": cannot open " + local_path};
  const Busy busy(busy_);
  CURL* h = easy_.get();
  const std::unique_ptr<char, CurlFree> escaped{curl_easy_escape(h, name.data(), static_cast<int>(name.size()))};
  if (!escaped) return Failure{what + ": the name cannot be sent"};
  SourceContext context{in};
  curl_easy_setopt(h, CURLOPT_URL, (base_url_ + "/" + escaped.get()).c_str());
  curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
  curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
  curl_easy_setopt(h, CURLOPT_READFUNCTION, from_file);
  curl_easy_setopt(h, CURLOPT_READDATA, &context);
  TransferWatch watch(limits_, keep_going, what);
  watch.announced = [size] { return static_cast<std::uint64_t>(size); };
  // Repeated on a fresh connection only when nothing was sent (perform).
  const CURLcode rc = perform(watch, [&] {
    in.clear();
    in.seekg(0);
    return static_cast<bool>(in);
  });
  curl_easy_setopt(h, CURLOPT_UPLOAD, 0L);
  curl_easy_setopt(h, CURLOPT_READFUNCTION, nullptr);
  curl_easy_setopt(h, CURLOPT_READDATA, nullptr);
  curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(-1));
  if (context.failed) return Failure{what + ": reading " + local_path + " failed"};
  if (rc != CURLE_OK) return failure(what, rc);
  curl_off_t sent = 0;
  curl_easy_getinfo(h, CURLINFO_SIZE_UPLOAD_T, &sent);
  if (static_cast<std::uintmax_t>(sent) != size)
    return Failure{what + ": " + std::to_string(sent) + " of " + std::to_string(size) + " bytes sent"};
  return {};
}

Status FtpSession::command(const std::vector<std::string>& commands, const std::string& what,
                           const KeepGoing& keep_going) {
  if (busy_) return Failure{what + ": the connection is busy with another transfer"};
  const Busy busy(busy_);
  std::unique_ptr<curl_slist, SlistFree> list;
  for (const std::string& line : commands) {
    curl_slist* more = curl_slist_append(list.get(), line.c_str());
    if (more == nullptr) return Failure{what + ": libcurl cannot be used"};
    if (!list) list.reset(more);
  }
  CURL* h = easy_.get();
  // A body-less request on the login folder carries the commands.
  curl_easy_setopt(h, CURLOPT_URL, (base_url_ + "/").c_str());
  curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(h, CURLOPT_QUOTE, list.get());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
  TransferWatch watch(limits_, keep_going, what);
  const CURLcode rc = perform(watch, [] { return true; });
  curl_easy_setopt(h, CURLOPT_QUOTE, nullptr);
  curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
  if (rc != CURLE_OK) return failure(what, rc);
  return {};
}

}  // namespace qor
