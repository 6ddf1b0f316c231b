// A test server of tools/ (update_server, ftp_server) for a Windows test
// program under Wine, by its name: tools/wine_test_servers.py starts it on
// the Linux side (server_process.hpp). The server runs while the object lives.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/server_process.hpp"

namespace qor::test {

class TestServer {
 public:
  // name: "update_server" or "ftp_server"; arguments as on its command line,
  // Windows paths among them allowed. Waits until the server reports READY.
  TestServer(const std::string& name, const std::vector<std::string>& arguments,
             std::chrono::seconds ready_timeout = std::chrono::seconds(20));

  int port(const std::string& listener) const { return process_.port(listener); }
  // "127.0.0.1:<port>" of the named listener.
  std::string address(const std::string& listener) const { return process_.address(listener); }
  // The lines the server printed after READY (its log) since the last call.
  std::vector<std::string> read_log();

 private:
  ServerProcess process_;
  std::size_t seen_ = 0;
};

// Makes `link` a symbolic link to `target` on the Linux side, through the
// same host (Windows paths both); the reason when it could not.
std::optional<std::string> make_symbolic_link_on_host(const std::string& target, const std::string& link);

}  // namespace qor::test
