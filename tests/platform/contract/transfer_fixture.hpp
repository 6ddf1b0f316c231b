// What the FTP and HTTP behaviour suites share, whichever implementation
// they are built against: the test servers of tools/ on a temporary folder,
// a sink that keeps what arrives, and the connection and listing the cases
// start from. The little that differs between the platforms is declared in
// transfer_platform.hpp and defined once per platform.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ftp_transfer.hpp"
#include "tests/platform/contract/transfer_platform.hpp"
#include "tests/support/files.hpp"
#include "tests/support/server_process.hpp"

namespace qor::test {

inline constexpr const char* kUser = "qor";
// A space and an '=' must reach the server as they are.
inline constexpr const char* kPassword = "se=cret word";

// Every byte value, CR and LF among them, in a pattern that does not repeat
// within a piece.
std::string pattern_bytes(std::size_t n);

// Keeps what arrives; refuses with `refusal` once `capacity` bytes are in.
// With a `disk`, it says it writes there, and what it keeps fills it.
// `written` counts every byte it was given, those rewound included.
struct MemorySink : ByteSink {
  std::string bytes;
  std::size_t written = 0;
  std::size_t capacity = std::string::npos;
  Failure refusal;
  int rewinds = 0;
  std::optional<DiskSpace> disk;
  Status write(const char* data, std::size_t size) override;
  std::optional<DiskSpace> disk_space() const override { return disk; }
  Status rewind() override;
};

// A login folder and tools/ftp_server.py on it, with the account above and
// the server's fault switches ("--endless-listing", ...).
struct FtpServer {
  TempDir root;
  std::unique_ptr<ServerProcess> server;
  // Starts the server afresh (a running one is stopped first).
  void start(const std::vector<std::string>& options = {}, const std::string& password = kPassword);
  std::string address() const { return server->address("ftp"); }
  // The log lines starting with `prefix` once `expected` of them arrived or
  // `patience` ran out.
  int count_log(const std::string& prefix, int expected, std::chrono::milliseconds patience = std::chrono::seconds(5)) {
    return server->count_log(prefix, expected, patience);
  }
  // The bytes each download sent ("SENT" lines), once `expected` of them
  // were logged or `patience` ran out.
  std::vector<std::uint64_t> sent(int expected, std::chrono::milliseconds patience = std::chrono::seconds(5));
};

// Short enough that a case that fails does so quickly.
TransferLimits quick_limits();

// A logged-in connection; fails the test when there is none.
std::shared_ptr<InternetHandle> connected(const FtpServer& ftp, const TransferLimits& limits = quick_limits(),
                                          const std::string& password = kPassword);

// Every entry of the login folder, sorted by name.
std::vector<FindData> listing(const InternetHandle* connection);
// The same as "name attributes size" (folders without their size).
std::vector<std::string> listing_lines(const InternetHandle* connection);

// The whole file, or the reason it did not arrive.
Result<std::string> fetch(const InternetHandle* connection, const std::string& name, const KeepGoing& keep_going = {});

// How long `f` took.
template <class F>
std::chrono::milliseconds time_of(F&& f) {
  const auto started = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
}

}  // namespace qor::test
