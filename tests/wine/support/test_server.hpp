// A test server of tools/ (update_server, ftp_server) for a Windows test
// program under Wine: tools/wine_test_servers.py starts it on the Linux side
// when asked over 127.0.0.1 and passes on what it prints. The server runs
// while the object lives.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qor::test {

// Winsock started for the object's lifetime (the system counts the users).
class WinsockUse {
 public:
  WinsockUse();
  WinsockUse(const WinsockUse&) = delete;
  WinsockUse& operator=(const WinsockUse&) = delete;
  ~WinsockUse();
};

class TestServer {
 public:
  // name: "update_server" or "ftp_server"; arguments as on its command line,
  // Windows paths among them allowed. Waits until the server reports READY.
  TestServer(const std::string& name, const std::vector<std::string>& arguments,
             std::chrono::seconds ready_timeout = std::chrono::seconds(20));
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;
  ~TestServer();

  int port(const std::string& listener) const;
  // "127.0.0.1:<port>" of the named listener.
  std::string address(const std::string& listener) const;
  // Lines the server printed after READY (its log), read so far.
  std::vector<std::string> read_log();

 private:
  std::string read_line(std::chrono::steady_clock::time_point deadline);
  bool receive(int wait_ms);

  WinsockUse winsock_;
  unsigned long long socket_;  // a SOCKET
  std::string buffer_;
  std::map<std::string, int> ports_;
};

// A port of 127.0.0.1 that nobody listens on (bound for a moment, let go).
int free_local_port();

// Makes `link` a symbolic link to `target` on the Linux side, through the
// same host (Windows paths both); the reason when it could not.
std::optional<std::string> make_symbolic_link_on_host(const std::string& target, const std::string& link);

}  // namespace qor::test
