// The transfer layer over WinINet's FTP functions, in their ANSI form: texts
// cross in the ANSI code page, which is also what WinINet puts on the wire.
#include "ftp_transfer.hpp"

#include <cstring>
#include <optional>
#include <vector>

#include "ftp_server_name.hpp"
#include "internet_error.hpp"
#include "wide_text.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "unique_internet.hpp"
#include "windows_api.hpp"

namespace qor {

// A WinINet handle that keeps the handle it was opened from alive: a
// connection outlives nothing it depends on, however the caller drops them.
class InternetHandle : public std::enable_shared_from_this<InternetHandle> {
 public:
  InternetHandle(win32::UniqueInternet handle, std::shared_ptr<const InternetHandle> parent)
      : parent_(std::move(parent)), handle_(std::move(handle)) {}
  HINTERNET get() const { return handle_.get(); }

 private:
  std::shared_ptr<const InternetHandle> parent_;  // released after handle_ is closed
  win32::UniqueInternet handle_;
};

class FindHandle {
 public:
  FindHandle(win32::UniqueInternet find, std::shared_ptr<const InternetHandle> connection)
      : connection_(std::move(connection)), find_(std::move(find)) {}
  HINTERNET get() const { return find_.get(); }

 private:
  std::shared_ptr<const InternetHandle> connection_;
  win32::UniqueInternet find_;
};

void FindHandleCloser::operator()(FindHandle* find) const { std::default_delete<FindHandle>()(find); }

namespace {

constexpr std::size_t kPieceSize = 64 * 1024;

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

std::string text_of(const char* field, std::size_t size) { return win32::ansi_to_utf8({field, strnlen(field, size)}); }

FindData to_find_data(const WIN32_FIND_DATAA& found) {
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
  data.cFileName = text_of(found.cFileName, sizeof found.cFileName);
  data.cAlternateFileName = text_of(found.cAlternateFileName, sizeof found.cAlternateFileName);
  return data;
}

// The size the server announced for an open file, when it told one.
std::optional<std::uint64_t> announced_size(HINTERNET file) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = FtpGetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::nullopt;
  return (std::uint64_t{high} << 32) | low;
}

// A transfer the server answered with a failure (426 after a broken data
// connection, 451) once the data ended.
std::optional<std::string> refusing_reply() {
  const std::string reply = win32::last_server_reply();
  if (reply.size() >= 3 && (reply[0] == '4' || reply[0] == '5')) return reply;
  return std::nullopt;
}

}  // namespace

namespace transfer {

Result<std::shared_ptr<InternetHandle>> open(const std::string& agent, const TransferLimits& limits) {
  const std::string agent_text = win32::utf8_to_ansi(agent).value_or("QOR_sync_PRO");
  win32::UniqueInternet internet(InternetOpenA(agent_text.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!internet) {
    const DWORD error = GetLastError();
    return win32::internet_failure("open the internet functions", error);
  }
  set_limits(internet.get(), limits);
  return std::make_shared<InternetHandle>(std::move(internet), nullptr);
}

Result<std::shared_ptr<InternetHandle>> connect(const std::shared_ptr<InternetHandle>& internet,
                                                const std::string& server, const std::string& user,
                                                const std::string& password) {
  if (!internet) return Failure{"connect: the internet functions are not open"};
  const auto name = win32::parse_ftp_server(server);
  if (!name) return Failure{"connect: \"" + server + "\" is no server name"};
  const auto host = win32::utf8_to_ansi(name->host);
  const auto ansi_user = win32::utf8_to_ansi(user);
  const auto ansi_password = win32::utf8_to_ansi(password);
  if (!host || !ansi_user || !ansi_password)
    return Failure{"connect to " + server + ": the server name or account has characters of no ANSI code page"};
  const INTERNET_PORT port = name->port == 0 ? INTERNET_INVALID_PORT_NUMBER : static_cast<INTERNET_PORT>(name->port);
  win32::UniqueInternet connection(InternetConnectA(internet->get(), host->c_str(), port, ansi_user->c_str(),
                                                    ansi_password->c_str(), INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE,
                                                    0));
  if (!connection) {
    const DWORD error = GetLastError();
    return win32::internet_failure("connect to " + server + " as " + user, error);
  }
  return std::make_shared<InternetHandle>(std::move(connection), internet);
}

Result<FindHandlePtr> find_first(const InternetHandle* connection, FindData& data) {
  if (connection == nullptr) return Failure{"list: no connection"};
  WIN32_FIND_DATAA found{};
  win32::UniqueInternet find(FtpFindFirstFileA(connection->get(), "*.*", &found, INTERNET_FLAG_RELOAD, 0));
  if (!find) {
    const DWORD error = GetLastError();
    // Windows says ERROR_NO_MORE_FILES; Wine fails without saying anything.
    if (error == ERROR_NO_MORE_FILES || error == NO_ERROR)
      return Failure{"list: the folder is empty", transfer::kNoMoreFiles};
    return win32::internet_failure("list the login folder", error);
  }
  data = to_find_data(found);
  auto handle = std::make_unique<FindHandle>(std::move(find), connection->shared_from_this());
  return FindHandlePtr(handle.release());
}

bool find_next(FindHandle* find, FindData& data) {
  if (find == nullptr) return false;
  WIN32_FIND_DATAA found{};
  if (!InternetFindNextFileA(find->get(), &found)) return false;
  data = to_find_data(found);
  return true;
}

Status get_file(const InternetHandle* connection, const std::string& remote_name, ByteSink& sink,
                const KeepGoing& keep_going) {
  const std::string what = "fetch " + remote_name;
  if (connection == nullptr) return Failure{what + ": no connection"};
  const auto name = win32::utf8_to_ansi(remote_name);
  if (!name) return Failure{what + ": the name has characters of no ANSI code page"};
  win32::UniqueInternet file(
      FtpOpenFileA(connection->get(), name->c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0));
  if (!file) {
    const DWORD error = GetLastError();
    return win32::internet_failure(what, error);
  }
  const auto announced = announced_size(file.get());
  std::vector<char> piece(kPieceSize);
  std::uint64_t received = 0;
  for (;;) {
    // Dropping the file handle mid-transfer makes WinINet abort it.
    if (keep_going && !keep_going()) return Failure{what + ": abandoned after " + std::to_string(received) + " bytes"};
    DWORD got = 0;
    if (!InternetReadFile(file.get(), piece.data(), static_cast<DWORD>(piece.size()), &got)) {
      const DWORD error = GetLastError();
      return win32::internet_failure(what + " after " + std::to_string(received) + " bytes", error);
    }
    if (got == 0) break;
    if (Status written = sink.write(piece.data(), got); !written) return written;
    received += got;
  }
  // Closing reads the server's last word on the transfer.
  file.reset();
  if (const auto reply = refusing_reply())
    return Failure{what + ": the transfer broke off after " + std::to_string(received) + " bytes (server: " + *reply +
                   ")"};
  if (announced && received < *announced)
    return Failure{what + ": received " + std::to_string(received) + " of " + std::to_string(*announced) + " bytes"};
  return {};
}

}  // namespace transfer
}  // namespace qor
