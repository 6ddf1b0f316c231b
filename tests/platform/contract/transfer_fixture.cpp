#include "tests/platform/contract/transfer_fixture.hpp"

#include <algorithm>

namespace qor::test {

using namespace std::chrono_literals;

std::string pattern_bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7919) >> 3);
  return s;
}

Status MemorySink::write(const char* data, std::size_t size) {
  if (bytes.size() + size > capacity) return refusal;
  if (disk && disk->available < size) return Failure{"the disk is full"};
  if (disk) disk->available -= size;
  bytes.append(data, size);
  written += size;
  return {};
}

Status MemorySink::rewind() {
  ++rewinds;
  bytes.clear();
  return {};
}

void FtpServer::start(const std::vector<std::string>& options, const std::string& password) {
  server.reset();
  server = start_ftp_server(root.path(), kUser, password, options);
}

std::vector<std::uint64_t> FtpServer::sent(int expected, std::chrono::milliseconds patience) {
  server->count_log("SENT ", expected, patience);
  std::vector<std::uint64_t> bytes;
  for (const std::string& line : server->log())
    if (line.starts_with("SENT ")) bytes.push_back(std::stoull(line.substr(5)));
  return bytes;
}

TransferLimits quick_limits() { return {5s, 3s}; }

std::shared_ptr<InternetHandle> connected(const FtpServer& ftp, const TransferLimits& limits,
                                          const std::string& password) {
  auto internet = transfer::open("QOR sync", limits);
  EXPECT_TRUE(internet) << internet.failure().reason;
  if (!internet) return nullptr;
  auto connection = transfer::connect(*internet, ftp.address(), kUser, password);
  EXPECT_TRUE(connection) << connection.failure().reason;
  return connection ? *connection : nullptr;
}

std::vector<FindData> listing(const InternetHandle* connection) {
  std::vector<FindData> entries;
  FindData data;
  auto find = transfer::find_first(connection, data);
  EXPECT_TRUE(find) << find.failure().reason;
  if (!find) return entries;
  entries.push_back(data);
  while (transfer::find_next(find->get(), data)) entries.push_back(data);
  std::sort(entries.begin(), entries.end(),
            [](const FindData& a, const FindData& b) { return a.cFileName < b.cFileName; });
  return entries;
}

std::vector<std::string> listing_lines(const InternetHandle* connection) {
  std::vector<std::string> lines;
  for (const auto& entry : listing(connection)) {
    // A folder's size is whatever the server's listing says.
    const bool folder = entry.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY;
    lines.push_back(entry.cFileName + " " + std::to_string(entry.dwFileAttributes) +
                    (folder ? "" : " " + std::to_string(entry.nFileSizeLow)));
  }
  return lines;
}

Result<std::string> fetch(const InternetHandle* connection, const std::string& name, const KeepGoing& keep_going) {
  MemorySink sink;
  const Status arrived = transfer::get_file(connection, name, sink, keep_going);
  if (!arrived) return arrived.failure();
  return sink.bytes;
}

}  // namespace qor::test
