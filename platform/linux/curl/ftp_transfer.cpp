// The transfer layer over libcurl: one FtpSession per connection, its
// listing read whole by find_first and handed out entry by entry, its names
// remembered for the downloads that follow.
#include "platform/ftp_transfer.hpp"

#include <vector>

#include "platform/linux/curl/curl_easy.hpp"
#include "platform/linux/curl/ftp_session.hpp"
#include "platform/linux/curl/ftp_url.hpp"
#include "portable/text/text_encoding.hpp"
#include "portable/transfer/listed_entries.hpp"
#include "portable/transfer/listing_names.hpp"
#include "portable/transfer/upload_name.hpp"

namespace qor {

class InternetHandle {
 public:
  explicit InternetHandle(TransferLimits limits) : limits_(limits) {}
  InternetHandle(std::shared_ptr<const InternetHandle> parent, std::unique_ptr<FtpSession> session)
      : limits_(parent->limits_), parent_(std::move(parent)), session_(std::move(session)) {}

  const TransferLimits& limits() const { return limits_; }
  // The connection's session; null for the open handle.
  FtpSession* session() const { return session_.get(); }
  // The names of the connection's last listing. The interface hands the
  // connection out as const; what it remembers changes with each listing.
  ListingNames& names() const { return names_; }

 private:
  TransferLimits limits_;
  std::shared_ptr<const InternetHandle> parent_;
  std::unique_ptr<FtpSession> session_;
  mutable ListingNames names_;
};

class FindHandle : public ListedEntries {
 public:
  using ListedEntries::ListedEntries;
};

void FindHandleCloser::operator()(FindHandle* find) const { delete find; }  // NOLINT(cppcoreguidelines-owning-memory)

namespace {

// 100-ns ticks between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

FILETIME to_filetime(std::int64_t unix_seconds) {
  const std::uint64_t ticks = kUnixEpochTicks + static_cast<std::uint64_t>(unix_seconds) * 10000000ULL;
  return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

WIN32_FIND_DATA to_find_data(const RemoteEntry& entry, std::string text) {
  WIN32_FIND_DATA d;
  d.dwFileAttributes = entry.directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  if (entry.modified && *entry.modified >= 0) {
    d.ftLastWriteTime = to_filetime(*entry.modified);
    d.ftCreationTime = d.ftLastWriteTime;
    d.ftLastAccessTime = d.ftLastWriteTime;
  }
  if (entry.size) {
    d.nFileSizeHigh = static_cast<std::uint32_t>(*entry.size >> 32);
    d.nFileSizeLow = static_cast<std::uint32_t>(*entry.size);
  }
  d.cFileName = std::move(text);
  return d;
}

}  // namespace

namespace transfer {

Result<std::shared_ptr<InternetHandle>> open(const std::string& /*agent*/, const TransferLimits& limits) {
  if (!curl_initialised()) return Failure{"libcurl cannot be initialised"};
  return std::make_shared<InternetHandle>(limits);
}

Result<std::shared_ptr<InternetHandle>> connect(const std::shared_ptr<InternetHandle>& internet,
                                                const std::string& server, const std::string& user,
                                                const std::string& password, const KeepGoing& keep_going) {
  if (!internet) return Failure{"connect: the internet functions are not open"};
  const auto base_url = ftp_base_url(server);
  if (!base_url) return Failure{"connect: \"" + server + "\" is no server name"};
  auto session =
      FtpSession::login(*base_url, bytes_for_server(user), bytes_for_server(password), internet->limits(), keep_going);
  if (!session) return session.failure();
  return std::make_shared<InternetHandle>(internet, std::move(*session));
}

Result<FindHandlePtr> find_first(const InternetHandle* connection, WIN32_FIND_DATA& data, const KeepGoing& keep_going) {
  if (connection == nullptr || connection->session() == nullptr) return Failure{"list: no connection"};
  std::vector<RemoteEntry> entries;
  ListingNames& names = connection->names();
  names.clear();
  if (Status listed = connection->session()->list(entries, keep_going); !listed) return listed.failure();
  if (entries.empty()) return Failure{"list: the folder is empty", transfer::kNoMoreFiles};
  std::vector<WIN32_FIND_DATA> records;
  records.reserve(entries.size());
  for (const auto& entry : entries)
    records.push_back(to_find_data(entry, names.add(entry.name, entry.link ? std::nullopt : entry.size)));
  FindHandlePtr find{new FindHandle(std::move(records))};  // NOLINT(cppcoreguidelines-owning-memory)
  find->next(data);
  return find;
}

bool find_next(FindHandle* find, WIN32_FIND_DATA& data) { return find != nullptr && find->next(data); }

Status get_file(const InternetHandle* connection, const std::string& remote_name, ByteSink& sink,
                const KeepGoing& keep_going) {
  if (connection == nullptr || connection->session() == nullptr)
    return Failure{"fetch " + remote_name + ": no connection"};
  const ListingNames& names = connection->names();
  const ListingNames::Entry* listed = names.find(remote_name);
  return connection->session()->retrieve(names.bytes_for(remote_name), remote_name,
                                         listed != nullptr ? listed->size : std::nullopt, sink, keep_going);
}

namespace {

// The session of a connection, or why there is none to use.
Result<FtpSession*> session_for(const InternetHandle* connection, const std::string& what) {
  if (connection == nullptr || connection->session() == nullptr) return Failure{what + ": no connection"};
  return connection->session();
}

}  // namespace

Status put_file(const InternetHandle* connection, const std::string& local_path, const std::string& remote_name,
                const KeepGoing& keep_going) {
  const std::string what = "upload " + remote_name;
  auto session = session_for(connection, what);
  if (!session) return session.failure();
  const std::string name = connection->names().bytes_for(remote_name);
  if (!fit_for_commands(name)) return Failure{what + ": the name holds a control character"};
  return (*session)->store(local_path, name, remote_name, keep_going);
}

Status rename(const InternetHandle* connection, const std::string& from, const std::string& to,
              const KeepGoing& keep_going) {
  const std::string what = "rename " + from + " to " + to;
  auto session = session_for(connection, what);
  if (!session) return session.failure();
  const std::string old_name = connection->names().bytes_for(from);
  const std::string new_name = connection->names().bytes_for(to);
  if (!fit_for_commands(old_name) || !fit_for_commands(new_name))
    return Failure{what + ": a name holds a control character"};
  return (*session)->command({"RNFR " + old_name, "RNTO " + new_name}, what, keep_going);
}

Status remove(const InternetHandle* connection, const std::string& remote_name, const KeepGoing& keep_going) {
  const std::string what = "remove " + remote_name;
  auto session = session_for(connection, what);
  if (!session) return session.failure();
  const std::string name = connection->names().bytes_for(remote_name);
  if (!fit_for_commands(name)) return Failure{what + ": the name holds a control character"};
  return (*session)->command({"DELE " + name}, what, keep_going);
}

}  // namespace transfer
}  // namespace qor
