#include "transfer_layer.hpp"

#include "answer_text.hpp"
#include "curl_easy.hpp"
#include "download_target.hpp"
#include "ftp_address.hpp"
#include "ftp_session.hpp"

namespace qor {

namespace {

// 100-ns ticks between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

FILETIME to_filetime(std::int64_t unix_seconds) {
  const std::uint64_t ticks = kUnixEpochTicks + static_cast<std::uint64_t>(unix_seconds) * 10000000ULL;
  return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

WIN32_FIND_DATA to_find_data(const RemoteEntry& entry) {
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
  d.cFileName = is_valid_utf8(entry.name) ? entry.name : windows1252_to_utf8(entry.name);
  return d;
}

}  // namespace

InternetHandle::InternetHandle(std::string agent, TransferOptions options)
    : agent_(std::move(agent)), options_(options) {}

InternetHandle::InternetHandle(std::shared_ptr<const InternetHandle> parent, std::unique_ptr<FtpSession> session)
    : agent_(parent->agent_), options_(parent->options_), parent_(std::move(parent)), session_(std::move(session)) {}

InternetHandle::~InternetHandle() = default;

bool FindHandle::next(WIN32_FIND_DATA& data) {
  if (next_ >= entries_.size()) return false;
  data = entries_[next_++];
  return true;
}

namespace transfer {

std::shared_ptr<InternetHandle> open(const std::string& agent, const TransferOptions& options) {
  if (!curl_initialised()) return nullptr;
  return std::make_shared<InternetHandle>(agent, options);
}

std::shared_ptr<InternetHandle> connect(const std::shared_ptr<InternetHandle>& internet, const std::string& server,
                                        const std::string& user, const std::string& password) {
  if (!internet) return nullptr;
  const auto base_url = ftp_base_url(server);
  if (!base_url) return nullptr;
  auto session = FtpSession::login(*base_url, user, password, internet->options());
  if (!session) return nullptr;
  return std::make_shared<InternetHandle>(internet, std::move(session));
}

std::unique_ptr<FindHandle> find_first(const InternetHandle* connection, WIN32_FIND_DATA& data) {
  if (connection == nullptr || connection->session() == nullptr) return nullptr;
  std::vector<RemoteEntry> entries;
  if (!connection->session()->list(entries) || entries.empty()) return nullptr;
  std::vector<WIN32_FIND_DATA> records;
  records.reserve(entries.size());
  for (const auto& entry : entries) records.push_back(to_find_data(entry));
  auto find = std::make_unique<FindHandle>(std::move(records));
  find->next(data);
  return find;
}

bool find_next(FindHandle* find, WIN32_FIND_DATA& data) { return find != nullptr && find->next(data); }

bool get_file(const InternetHandle* connection, const std::string& remote_name, const std::string& local_path) {
  if (connection == nullptr || connection->session() == nullptr || !is_bare_file_name(remote_name)) return false;
  DownloadTarget target(local_path);
  if (!target.ok()) return false;
  return connection->session()->retrieve(remote_name, target) && target.commit();
}

void close(std::unique_ptr<FindHandle>& find) { find.reset(); }

}  // namespace transfer
}  // namespace qor
