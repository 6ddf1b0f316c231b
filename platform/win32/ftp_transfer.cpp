// The transfer layer over WinINet's FTP functions, in their ANSI form: they
// take and give bytes in the system's ANSI code page (ansi_names.hpp), which
// WinINet puts on the wire as they are, so names go back with the bytes
// their listing used.
// Every blocking call runs on a worker of its operation (call_worker.hpp);
// the listing is read whole by find_first and handed out entry by entry.
#include "platform/ftp_transfer.hpp"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/win32/ansi_names.hpp"
#include "platform/win32/ftp_server_name.hpp"
#include "platform/win32/wide_text.hpp"
#include "portable/transfer/download_bounds.hpp"
#include "portable/transfer/download_resume.hpp"
#include "portable/transfer/listed_entries.hpp"
#include "portable/transfer/listing_names.hpp"
#include "portable/transfer/transfer_watch.hpp"
#include "portable/transfer/upload_name.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/call_worker.hpp"
#include "platform/win32/internet_error.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {

using win32::CallWorker;
using win32::InternetRef;
using win32::SharedInternet;

namespace {

// What a call left to say why it failed: its error and the server's last
// reply, both of which only the calling thread can read.
struct Outcome {
  DWORD error = 0;
  std::string reply;
};

Outcome outcome_of(bool succeeded) {
  const DWORD error = succeeded ? 0 : GetLastError();
  return {error, win32::last_server_reply()};
}

InternetRef shared(HINTERNET handle) { return handle != nullptr ? std::make_shared<SharedInternet>(handle) : nullptr; }

Failure call_failure(const std::string& what, const Outcome& outcome) {
  return win32::internet_failure(what, outcome.error, outcome.reply);
}

// Where and as whom a connection logs in, as the ANSI functions take it.
struct Account {
  std::string server;  // as the settings named it, for reasons
  std::string host;
  INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER;
  std::string user;
  std::string user_bytes;
  std::string password_bytes;
};

}  // namespace

// The open internet functions, or a connection through them. A connection
// logs in on its first use and again after an operation was given up in the
// middle (its call may still hold the old login), so one connection serves
// the listing and every download.
class InternetHandle {
 public:
  InternetHandle(InternetRef session, const TransferLimits& limits) : limits_(limits), session_(std::move(session)) {}
  InternetHandle(std::shared_ptr<const InternetHandle> parent, Account account)
      : limits_(parent->limits_),
        parent_(std::move(parent)),
        session_(parent_->session_),
        account_(std::move(account)) {}

  const TransferLimits& limits() const { return limits_; }
  bool is_connection() const { return parent_ != nullptr; }
  // "ftp://<server>", for reasons.
  std::string address() const { return "ftp://" + account_.server; }

  // The login, made now when there is none.
  Result<InternetRef> login(CallWorker& worker) const {
    if (login_) return login_;
    auto connected = worker.run<std::pair<InternetRef, Outcome>>(
        [session = session_, account = account_] {
          HINTERNET connection =
              InternetConnectA(session->get(), account.host.c_str(), account.port, account.user_bytes.c_str(),
                               account.password_bytes.c_str(), INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
          Outcome outcome = outcome_of(connection != nullptr);
          return std::pair{shared(connection), std::move(outcome)};
        },
        0);
    if (!connected) return connected.failure();
    if (!connected->first)
      return call_failure("connect to " + account_.server + " as " + account_.user, connected->second);
    login_ = connected->first;
    return login_;
  }
  // The login is dropped after an operation given up midway; the next one
  // logs in afresh.
  void drop_login() const { login_.reset(); }

  // The names of the connection's last listing. The interface hands the
  // connection out as const; what it remembers changes with each listing.
  ListingNames& names() const { return names_; }
  // A transfer is running: the caller's events may not start another.
  bool& busy() const { return busy_; }

 private:
  TransferLimits limits_;
  std::shared_ptr<const InternetHandle> parent_;  // released after session_ and login_
  InternetRef session_;
  Account account_;
  mutable InternetRef login_;
  mutable ListingNames names_{win32::ansi_names()};
  mutable bool busy_ = false;
};

class FindHandle : public ListedEntries {
 public:
  using ListedEntries::ListedEntries;
};

void FindHandleCloser::operator()(FindHandle* find) const { std::default_delete<FindHandle>()(find); }

namespace {

constexpr DWORD kPieceSize = 64 * 1024;
// Entries read in one call while a listing is handed out.
constexpr std::size_t kEntriesPerCall = 256;

DWORD milliseconds(std::chrono::seconds s) { return static_cast<DWORD>(s.count() * 1000); }

void set_limits(HINTERNET internet, const TransferLimits& limits) {
  DWORD connect = milliseconds(limits.connect_timeout);
  DWORD stall = milliseconds(limits.stall_time);
  DWORD one_try = 1;
  InternetSetOptionA(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  InternetSetOptionA(internet, INTERNET_OPTION_CONNECT_RETRIES, &one_try, sizeof one_try);
  for (const DWORD option : {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                             INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
    InternetSetOptionA(internet, option, &stall, sizeof stall);
}

std::string_view field(const char* text, std::size_t size) { return {text, strnlen(text, size)}; }

FindData to_find_data(const WIN32_FIND_DATAA& found, std::string text) {
  FindData data;
  data.dwFileAttributes = found.dwFileAttributes;
  // Windows gives files FILE_ATTRIBUTE_NORMAL; some implementations of the
  // same API (Wine) give them no attribute at all.
  if (data.dwFileAttributes == 0) data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  data.ftCreationTime = {found.ftCreationTime.dwLowDateTime, found.ftCreationTime.dwHighDateTime};
  data.ftLastAccessTime = {found.ftLastAccessTime.dwLowDateTime, found.ftLastAccessTime.dwHighDateTime};
  data.ftLastWriteTime = {found.ftLastWriteTime.dwLowDateTime, found.ftLastWriteTime.dwHighDateTime};
  data.nFileSizeHigh = found.nFileSizeHigh;
  data.nFileSizeLow = found.nFileSizeLow;
  data.dwReserved0 = found.dwReserved0;
  data.dwReserved1 = found.dwReserved1;
  data.cFileName = std::move(text);
  data.cAlternateFileName =
      win32::text_from_ansi_server(field(found.cAlternateFileName, sizeof found.cAlternateFileName));
  return data;
}

// A transfer the server answered with a failure (426 after a broken data
// connection, 451) once the data ended.
bool is_refusal(const std::string& reply) { return reply.size() >= 3 && (reply[0] == '4' || reply[0] == '5'); }

// The control connection is gone: the server closed it (421, as servers do
// with a connection left idle while the user looked at a panel), or it was
// aborted or reset.
bool connection_lost(const Outcome& outcome) {
  return outcome.reply.starts_with("421") || outcome.error == ERROR_INTERNET_CONNECTION_ABORTED ||
         outcome.error == ERROR_INTERNET_CONNECTION_RESET || outcome.error == ERROR_FTP_DROPPED;
}

class BusyConnection {
 public:
  explicit BusyConnection(bool& busy) : busy_(busy) { busy_ = true; }
  BusyConnection(const BusyConnection&) = delete;
  BusyConnection& operator=(const BusyConnection&) = delete;
  ~BusyConnection() { busy_ = false; }

 private:
  bool& busy_;
};

// One call's worth of a listing.
struct ListedPiece {
  InternetRef find;  // the first piece's find handle
  std::vector<WIN32_FIND_DATAA> entries;
  bool ended = false;
  Outcome outcome;
};

// The whole listing of the login folder, its names noted in `names`.
class ListingReader {
 public:
  ListingReader(const InternetHandle& connection, const KeepGoing& keep_going)
      : limits_(connection.limits()),
        names_(connection.names()),
        what_("list " + connection.address()),
        watch_(limits_, keep_going, what_),
        worker_(watch_) {}

  Result<std::vector<FindData>> read(const InternetHandle& connection) {
    auto login = connection.login(worker_);
    if (!login) return login.failure();
    auto first = worker_.run<ListedPiece>(
        [login = *login] {
          WIN32_FIND_DATAA found{};
          HINTERNET find = FtpFindFirstFileA(login->get(), "*.*", &found, INTERNET_FLAG_RELOAD, 0);
          ListedPiece piece{shared(find), {}, find == nullptr, outcome_of(find != nullptr)};
          if (find != nullptr) piece.entries.push_back(found);
          return piece;
        },
        0, login->get());
    if (!first) return given_up(connection, first.failure());
    if (!first->find) {
      // Windows says ERROR_NO_MORE_FILES; Wine fails without saying anything.
      if (first->outcome.error == ERROR_NO_MORE_FILES || first->outcome.error == NO_ERROR)
        return Failure{"list: the folder is empty", transfer::kNoMoreFiles};
      return call_failure(what_, first->outcome);
    }
    const InternetRef find = first->find;
    for (ListedPiece* piece = &*first;;) {
      for (const auto& entry : piece->entries)
        if (Status added = add(entry); !added) return added.failure();
      if (piece->ended) {
        if (piece->outcome.error != ERROR_NO_MORE_FILES && piece->outcome.error != NO_ERROR)
          return call_failure(what_, piece->outcome);
        return std::move(records_);
      }
      auto next = worker_.run<ListedPiece>(
          [find] {
            ListedPiece more;
            more.entries.reserve(kEntriesPerCall);
            while (more.entries.size() < kEntriesPerCall) {
              WIN32_FIND_DATAA found{};
              if (!InternetFindNextFileA(find->get(), &found)) {
                more.ended = true;
                more.outcome = outcome_of(false);
                break;
              }
              more.entries.push_back(found);
            }
            return more;
          },
          bytes_, find.get());
      if (!next) return given_up(connection, next.failure());
      *first = std::move(*next);
    }
  }

 private:
  // WinINet hands out entries, not the listing's text: the bytes counted
  // against the cap are the names'.
  Status add(const WIN32_FIND_DATAA& found) {
    if (records_.size() >= limits_.max_listing_entries)
      return Failure{what_ + ": the listing has more than " + std::to_string(limits_.max_listing_entries) + " entries"};
    const std::string_view bytes = field(found.cFileName, sizeof found.cFileName);
    bytes_ += bytes.size() + 1;
    if (bytes_ > limits_.max_listing_bytes)
      return Failure{what_ + ": the listing is larger than " + std::to_string(limits_.max_listing_bytes) + " bytes"};
    const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::uint64_t size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
    records_.push_back(
        to_find_data(found, names_.add(std::string(bytes), folder ? std::nullopt : std::optional(size))));
    return {};
  }

  static Failure given_up(const InternetHandle& connection, Failure failure) {
    connection.drop_login();
    return failure;
  }

  const TransferLimits& limits_;
  ListingNames& names_;
  std::string what_;
  TransferWatch watch_;
  CallWorker worker_;
  std::vector<FindData> records_;
  std::uint64_t bytes_ = 0;
};

// One download into a sink: a transfer, and after one that broke off up to
// two more (download_resume.hpp), under one watch whose deadline holds
// across them all.
class Download {
 public:
  Download(const InternetHandle& connection, std::string what, ByteSink& sink, const KeepGoing& keep_going)
      : connection_(connection),
        what_(std::move(what)),
        watch_(connection.limits(), keep_going, what_),
        worker_(watch_),
        bounds_(connection.limits(), sink, what_) {
    watch_.announced = [this] { return announced_.value_or(0); };
  }

  Status run(const std::string& name, std::optional<std::uint64_t> listed_size, ByteSink& sink) {
    // A server closes a control connection left idle while the user looked
    // at a panel; one fresh login (drop_login made it due) gets the file.
    bool logged_in_afresh = false;
    for (;;) {
      broke_off_ = false;
      rest_refused_ = false;
      lost_before_data_ = false;
      Status arrived = transfer(name, listed_size, sink);
      if (arrived || worker_.stopped()) return arrived;
      if (lost_before_data_ && !logged_in_afresh && received_ == 0) {
        logged_in_afresh = true;
        continue;
      }
      if (!resume_.next_after(broke_off_ || lost_before_data_, rest_refused_, received_, announced_)) return arrived;
    }
  }

 private:
  struct Piece {
    bool read = false;
    DWORD size = 0;
    Outcome outcome;
  };

  // One transfer of the plan: from the first byte, or from the byte
  // resume_ names.
  Status transfer(const std::string& name, std::optional<std::uint64_t> listed_size, ByteSink& sink) {
    resume_.begin();
    std::optional<std::uint64_t> rest = resume_.rest_offset();
    if (!rest && received_ > 0) {
      if (Status rewound = sink.rewind(); !rewound) return rewound;
      received_ = 0;
    }
    auto login = connection_.login(worker_);
    if (!login) return login.failure();
    const InternetRef connection = *login;
    // Asked by the client, the server's answer to SIZE is the client's to
    // hold the file to, within what the listing makes believable; the
    // listing's size counts where the server gives none. (Wine's
    // FtpGetFileSize answers 0 whatever the size.) WinINet's file functions
    // know no offset: a resumed transfer sends its REST itself, last before
    // the RETR that FtpOpenFile sends (after its PASV, which leaves a
    // pending REST be).
    auto replies = worker_.run<std::pair<std::string, std::string>>(
        [connection, name, rest] {
          FtpCommandA(connection->get(), FALSE, FTP_TRANSFER_TYPE_BINARY, "TYPE I", 0, nullptr);
          FtpCommandA(connection->get(), FALSE, FTP_TRANSFER_TYPE_BINARY, ("SIZE " + name).c_str(), 0, nullptr);
          std::string size = win32::last_server_reply();
          if (!rest) return std::pair{size, std::string()};
          FtpCommandA(connection->get(), FALSE, FTP_TRANSFER_TYPE_BINARY, ("REST " + std::to_string(*rest)).c_str(), 0,
                      nullptr);
          return std::pair{size, win32::last_server_reply()};
        },
        received_, connection.get());
    if (!replies) return given_up(replies.failure());
    const std::string& size = replies->first;
    if (size.starts_with("421")) return lost(Failure{what_ + ": " + size, ERROR_INTERNET_CONNECTION_ABORTED});
    // A file the server does not have is not asked for.
    if (size.starts_with("550 ")) return Failure{what_ + ": " + size, ERROR_INTERNET_EXTENDED_ERROR};
    announced_ = size_to_hold_to(listed_size, size_in_reply(size));
    if (rest && !replies->second.starts_with("350")) {
      rest_refused_ = true;
      return Failure{what_ + ": the server does not resume (" + replies->second + ")"};
    }
    // A resumed transfer was measured against the disk when it first began.
    if (!rest) {
      if (auto refused = bounds_.refuse(announced_)) return *refused;
    }

    auto opened = worker_.run<std::pair<InternetRef, Outcome>>(
        [connection, name] {
          HINTERNET file = FtpOpenFileA(connection->get(), name.c_str(), GENERIC_READ,
                                        FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0);
          Outcome outcome = outcome_of(file != nullptr);
          return std::pair{shared(file), std::move(outcome)};
        },
        received_, connection.get());
    if (!opened) return given_up(opened.failure());
    if (!opened->first && connection_lost(opened->second)) return lost(call_failure(what_, opened->second));
    // A REST the server took waits for a RETR: the login goes with it.
    if (!opened->first)
      return rest ? given_up(call_failure(what_, opened->second)) : call_failure(what_, opened->second);
    const InternetRef file = opened->first;
    if (Status streamed = stream(file, sink); !streamed) return streamed;

    // Closing reads the server's last word on the transfer.
    auto closed = worker_.run<std::string>(
        [file] {
          file->close();
          return win32::last_server_reply();
        },
        received_);
    if (!closed) return given_up(closed.failure());
    if (is_refusal(*closed)) {
      broke_off_ = true;
      return Failure{what_ + ": the transfer broke off after " + std::to_string(received_) +
                     " bytes (server: " + *closed + ")"};
    }
    if (auto short_file = bounds_.fall_short(announced_, received_)) return *short_file;
    return {};
  }

  Status stream(const InternetRef& file, ByteSink& sink) {
    // Shared with the call, which may outlive this download.
    const auto buffer = std::make_shared<std::vector<char>>(kPieceSize);
    bool any = false;  // of this transfer
    for (;;) {
      auto piece = worker_.run<Piece>(
          [file, buffer] {
            Piece got;
            got.read = InternetReadFile(file->get(), buffer->data(), kPieceSize, &got.size) != FALSE;
            got.outcome = outcome_of(got.read);
            return got;
          },
          received_, file.get());
      if (!piece) return given_up(piece.failure());
      if (!piece->read && !any && connection_lost(piece->outcome))
        return lost(call_failure(what_ + " after " + std::to_string(received_) + " bytes", piece->outcome));
      if (!piece->read) {
        broke_off_ = true;
        return given_up(call_failure(what_ + " after " + std::to_string(received_) + " bytes", piece->outcome));
      }
      if (piece->size == 0) return {};
      any = true;
      const auto fresh = resume_.take({buffer->data(), piece->size}, announced_);
      if (!fresh) return given_up(Failure{what_ + ": the server did not resume where the transfer broke off"});
      if (auto stop = bounds_.admit(announced_, received_, fresh->size())) return given_up(*stop);
      if (Status written = sink.write(fresh->data(), fresh->size()); !written) return given_up(written.failure());
      resume_.wrote(*fresh);
      received_ += fresh->size();
    }
  }

  // A download that ends midway leaves its login mid-transfer.
  Failure given_up(Failure failure) const {
    connection_.drop_login();
    return failure;
  }
  // The login is gone before any byte of the transfer arrived: worth one
  // more try.
  Failure lost(Failure failure) {
    lost_before_data_ = true;
    return given_up(std::move(failure));
  }

  const InternetHandle& connection_;
  std::string what_;
  TransferWatch watch_;
  CallWorker worker_;
  DownloadBounds bounds_;
  std::optional<std::uint64_t> announced_;
  std::uint64_t received_ = 0;  // in the sink
  DownloadResume resume_;
  bool broke_off_ = false;
  bool rest_refused_ = false;
  bool lost_before_data_ = false;
};

}  // namespace

namespace transfer {

Result<std::shared_ptr<InternetHandle>> open(const std::string& agent, const TransferLimits& limits) {
  const std::string agent_text = win32::utf8_to_ansi(agent).value_or("QOR_sync_PRO");
  InternetRef session = shared(InternetOpenA(agent_text.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!session) {
    const DWORD error = GetLastError();
    return win32::internet_failure("open the internet functions", error);
  }
  set_limits(session->get(), limits);
  return std::make_shared<InternetHandle>(std::move(session), limits);
}

Result<std::shared_ptr<InternetHandle>> connect(const std::shared_ptr<InternetHandle>& internet,
                                                const std::string& server, const std::string& user,
                                                const std::string& password, const KeepGoing& keep_going) {
  if (!internet || internet->is_connection()) return Failure{"connect: the internet functions are not open"};
  const auto name = win32::parse_ftp_server(server);
  if (!name) return Failure{"connect: \"" + server + "\" is no server name"};
  const auto host = win32::utf8_to_ansi(name->host);
  if (!host) return Failure{"connect to " + server + ": the server name has characters of no ANSI code page"};
  Account account{server,
                  *host,
                  static_cast<INTERNET_PORT>(name->port == 0 ? INTERNET_INVALID_PORT_NUMBER : name->port),
                  user,
                  win32::bytes_for_ansi_server(user),
                  win32::bytes_for_ansi_server(password)};
  auto connection = std::make_shared<InternetHandle>(internet, std::move(account));
  TransferWatch watch(internet->limits(), keep_going, "log in to " + server + " as " + user);
  CallWorker worker(watch);
  if (auto login = connection->login(worker); !login) return login.failure();
  return connection;
}

Result<FindHandlePtr> find_first(const InternetHandle* connection, FindData& data, const KeepGoing& keep_going) {
  if (connection == nullptr || !connection->is_connection()) return Failure{"list: no connection"};
  if (connection->busy()) return Failure{"list: the connection is busy with another transfer"};
  const BusyConnection busy(connection->busy());
  connection->names().clear();
  auto records = ListingReader(*connection, keep_going).read(*connection);
  if (!records) {
    connection->names().clear();
    return records.failure();
  }
  auto find = std::make_unique<FindHandle>(std::move(*records));
  find->next(data);
  return FindHandlePtr(find.release());
}

bool find_next(FindHandle* find, FindData& data) { return find != nullptr && find->next(data); }

Status get_file(const InternetHandle* connection, const std::string& remote_name, ByteSink& sink,
                const KeepGoing& keep_going) {
  const std::string what = "fetch " + remote_name;
  if (connection == nullptr || !connection->is_connection()) return Failure{what + ": no connection"};
  if (connection->busy()) return Failure{what + ": the connection is busy with another transfer"};
  const ListingNames& names = connection->names();
  const std::string name = names.bytes_for(remote_name);
  // The name also goes into a command of its own (SIZE): a line break would
  // add commands.
  if (name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    return Failure{what + ": the name holds a line break"};
  const ListingNames::Entry* listed = names.find(remote_name);
  const std::optional<std::uint64_t> listed_size = listed != nullptr ? listed->size : std::nullopt;
  const BusyConnection busy(connection->busy());
  return Download(*connection, what, sink, keep_going).run(name, listed_size, sink);
}

namespace {

// Uploads, renames and deletes for the vendor's publishing tool, each call on
// a worker of its own under a watch, as the downloads are.

Status usable(const InternetHandle* connection, const std::string& what) {
  if (connection == nullptr || !connection->is_connection()) return Failure{what + ": no connection"};
  if (connection->busy()) return Failure{what + ": the connection is busy with another transfer"};
  return {};
}

// One call on the connection's login that succeeds or fails with the
// server's reply.
Status one_call(const InternetHandle& connection, const std::string& what, const KeepGoing& keep_going,
                std::function<BOOL(HINTERNET)> call) {
  const BusyConnection busy(connection.busy());
  TransferWatch watch(connection.limits(), keep_going, what);
  CallWorker worker(watch);
  auto login = connection.login(worker);
  if (!login) return login.failure();
  const InternetRef session = *login;
  auto done =
      worker.run<Outcome>([session, call] { return outcome_of(call(session->get()) != FALSE); }, 0, session.get());
  if (!done) {
    connection.drop_login();
    return done.failure();
  }
  if (done->error != 0) return call_failure(what, *done);
  return {};
}

}  // namespace

Status put_file(const InternetHandle* connection, const std::string& local_path, const std::string& remote_name,
                const KeepGoing& keep_going) {
  const std::string what = "upload " + remote_name;
  if (Status ok = usable(connection, what); !ok) return ok;
  const std::string name = connection->names().bytes_for(remote_name);
  if (!fit_for_commands(name)) return Failure{what + ": the name holds a control character"};
  const std::filesystem::path path(std::u8string(local_path.begin(), local_path.end()));
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return Failure{what + ": cannot read " + local_path + ": " + ec.message()};
  std::ifstream in(path, std::ios::binary);
  if (!in) return Failure{what + ": cannot open " + local_path};

  const BusyConnection busy(connection->busy());
  TransferWatch watch(connection->limits(), keep_going, what);
  watch.announced = [size] { return static_cast<std::uint64_t>(size); };
  CallWorker worker(watch);
  auto login = connection->login(worker);
  if (!login) return login.failure();
  const InternetRef session = *login;
  auto opened = worker.run<std::pair<InternetRef, Outcome>>(
      [session, name] {
        HINTERNET file = FtpOpenFileA(session->get(), name.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0);
        Outcome outcome = outcome_of(file != nullptr);
        return std::pair{shared(file), std::move(outcome)};
      },
      0, session.get());
  if (!opened) {
    connection->drop_login();
    return opened.failure();
  }
  if (!opened->first) return call_failure(what, opened->second);
  const InternetRef file = opened->first;
  // Shared with the call, which may outlive this upload.
  const auto buffer = std::make_shared<std::vector<char>>(kPieceSize);
  std::uint64_t sent = 0;
  for (;;) {
    in.read(buffer->data(), kPieceSize);
    if (in.bad()) {
      connection->drop_login();
      return Failure{what + ": reading " + local_path + " failed"};
    }
    const auto piece = static_cast<DWORD>(in.gcount());
    if (piece == 0) break;
    auto written = worker.run<Outcome>(
        [file, buffer, piece] {
          DWORD done = 0;
          const bool whole = InternetWriteFile(file->get(), buffer->data(), piece, &done) != FALSE && done == piece;
          return outcome_of(whole);
        },
        sent, file.get());
    if (!written || written->error != 0) {
      connection->drop_login();
      if (!written) return written.failure();
      return call_failure(what + " after " + std::to_string(sent) + " bytes", *written);
    }
    sent += piece;
  }
  // Closing reads the server's last word on the transfer.
  auto closed = worker.run<std::string>(
      [file] {
        file->close();
        return win32::last_server_reply();
      },
      sent);
  if (!closed) {
    connection->drop_login();
    return closed.failure();
  }
  if (is_refusal(*closed)) return Failure{what + ": the server refused the upload (" + *closed + ")"};
  if (sent != size) return Failure{what + ": " + std::to_string(sent) + " of " + std::to_string(size) + " bytes sent"};
  return {};
}

Status rename(const InternetHandle* connection, const std::string& from, const std::string& to,
              const KeepGoing& keep_going) {
  const std::string what = "rename " + from + " to " + to;
  if (Status ok = usable(connection, what); !ok) return ok;
  const std::string old_name = connection->names().bytes_for(from);
  const std::string new_name = connection->names().bytes_for(to);
  if (!fit_for_commands(old_name) || !fit_for_commands(new_name))
    return Failure{what + ": a name holds a control character"};
  return one_call(*connection, what, keep_going, [old_name, new_name](HINTERNET session) {
    return FtpRenameFileA(session, old_name.c_str(), new_name.c_str());
  });
}

Status remove(const InternetHandle* connection, const std::string& remote_name, const KeepGoing& keep_going) {
  const std::string what = "remove " + remote_name;
  if (Status ok = usable(connection, what); !ok) return ok;
  const std::string name = connection->names().bytes_for(remote_name);
  if (!fit_for_commands(name)) return Failure{what + ": the name holds a control character"};
  return one_call(*connection, what, keep_going,
                  [name](HINTERNET session) { return FtpDeleteFileA(session, name.c_str()); });
}

}  // namespace transfer
}  // namespace qor
