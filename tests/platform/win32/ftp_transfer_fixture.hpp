// The Windows transfer layer's tests against tools/ftp_server.py on
// 127.0.0.1: a sink that keeps what arrives, a login folder with the server
// on it, and the connection and listing the tests start from.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ftp_transfer.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/test_server.hpp"

namespace qor::test {

inline constexpr const char* kUser = "qor";
inline constexpr const char* kPassword = "se=cret";  // '=' must reach the server as it is

std::string random_bytes(std::size_t n);

// Keeps what arrives. With a `disk`, it says it writes there, and what it
// keeps fills it.
class MemorySink final : public ByteSink {
 public:
  Status write(const char* data, std::size_t size) override {
    if (disk && disk->available < size) return Failure{"the disk is full"};
    if (disk) disk->available -= size;
    bytes.append(data, size);
    return {};
  }
  Status rewind() override {
    bytes.clear();
    return {};
  }
  std::optional<DiskSpace> disk_space() const override { return disk; }
  std::string bytes;
  std::optional<DiskSpace> disk;
};

// A login folder and the FTP server on it, with the account above and the
// server's fault knobs ("--endless-listing", ...).
struct FtpServer {
  TempDir root;
  std::unique_ptr<TestServer> server;
  void start(const std::vector<std::string>& options = {}, const std::string& password = kPassword);
  std::string address() const { return server->address("ftp"); }
  // The number of log lines starting with `prefix` once `expected` of them
  // arrived or a few seconds passed.
  int count_log(const std::string& prefix, int expected);

 private:
  std::vector<std::string> log_;
};

inline TransferLimits quick_limits() {
  using namespace std::chrono_literals;
  return {5s, 3s};
}

// A logged-in connection; fails the test when there is none.
std::shared_ptr<InternetHandle> connected(const FtpServer& ftp, const TransferLimits& limits = quick_limits(),
                                          const std::string& password = kPassword);

// Every entry of the login folder, sorted by name.
std::vector<FindData> listing(const InternetHandle* connection);
// The same as "name attributes size" (folders without their size).
std::vector<std::string> listing_lines(const InternetHandle* connection);

// The whole file, or the reason it did not arrive.
Result<std::string> fetch(const InternetHandle* connection, const std::string& name, const KeepGoing& keep_going = {});

}  // namespace qor::test
