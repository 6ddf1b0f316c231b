// The transfer layer's tests against tools/ftp_server.py on a temporary
// folder: a sink that keeps what arrives, and a fixture that starts the
// server, connects and lists.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ftp_transfer.hpp"
#include "tests/support/files.hpp"
#include "tests/support/server_process.hpp"

namespace qor::test {

// Keeps what arrives; refuses with `refusal` once `capacity` bytes are in.
// With a `disk`, it says it writes there, and what it keeps fills it.
struct MemorySink : ByteSink {
  std::string bytes;
  std::size_t capacity = std::string::npos;
  Failure refusal;
  int rewinds = 0;
  std::optional<DiskSpace> disk;
  Status write(const char* data, std::size_t size) override {
    if (bytes.size() + size > capacity) return refusal;
    if (disk && disk->available < size) return Failure{"the disk is full"};
    if (disk) disk->available -= size;
    bytes.append(data, size);
    return {};
  }
  std::optional<DiskSpace> disk_space() const override { return disk; }
  Status rewind() override {
    ++rewinds;
    bytes.clear();
    return {};
  }
};

inline std::string pattern_bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7919) >> 3);
  return s;
}

class FtpTransfer : public ::testing::Test {
 protected:
  // The server's account is "qor" with `password`.
  void start_server(const std::vector<std::string>& options = {}) {
    server = start_ftp_server(root.path(), "qor", password, options);
  }
  // A logged-in connection to the server; fails the test when there is none.
  std::shared_ptr<InternetHandle> connect(const TransferLimits& limits = {}) {
    auto internet = transfer::open("test", limits);
    if (!internet) {
      ADD_FAILURE() << internet.failure().reason;
      return nullptr;
    }
    auto connection = transfer::connect(*internet, server->address("ftp"), "qor", password);
    if (!connection) {
      ADD_FAILURE() << connection.failure().reason;
      return nullptr;
    }
    return *connection;
  }
  // Every entry of the login folder as "name attributes size".
  std::vector<std::string> listing(const InternetHandle* connection) {
    std::vector<std::string> out;
    WIN32_FIND_DATA data;
    auto find = transfer::find_first(connection, data);
    if (!find) {
      ADD_FAILURE() << find.failure().reason;
      return out;
    }
    do {
      // A folder's size is whatever the server's listing says.
      const bool folder = data.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY;
      out.push_back(data.cFileName + " " + std::to_string(data.dwFileAttributes) +
                    (folder ? "" : " " + std::to_string(data.nFileSizeLow)));
    } while (transfer::find_next(find->get(), data));
    return out;
  }

  std::string password = "pass word";
  TempDir root;
  std::unique_ptr<ServerProcess> server;
};

}  // namespace qor::test
