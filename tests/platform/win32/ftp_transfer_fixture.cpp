#include "tests/platform/win32/ftp_transfer_fixture.hpp"

#include <algorithm>
#include <random>

#include "tests/wine/support/eventually.hpp"

namespace qor::test {

std::string random_bytes(std::size_t n) {
  std::string bytes(n, '\0');
  std::mt19937 random(11);
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

void FtpServer::start(const std::vector<std::string>& options, const std::string& password) {
  server.reset();
  log_.clear();
  std::vector<std::string> arguments = {"--root", root.path(), "--user", kUser, "--password", password};
  arguments.insert(arguments.end(), options.begin(), options.end());
  server = std::make_unique<TestServer>("ftp_server", arguments);
}

int FtpServer::count_log(const std::string& prefix, int expected) {
  int found = 0;
  eventually(
      [&] {
        for (auto& line : server->read_log()) log_.push_back(std::move(line));
        found = static_cast<int>(
            std::count_if(log_.begin(), log_.end(), [&](const std::string& line) { return line.starts_with(prefix); }));
        return found >= expected;
      },
      std::chrono::seconds(5));
  return found;
}

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
