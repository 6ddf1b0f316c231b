// The test servers of tools/ as child processes: each prints
// "LISTENING <name> <port>" per listener, then "READY", then one log line
// per event, each written before the server answers that event.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/files.hpp"
#include "tests/support/server_channel.hpp"

namespace qor::test {

class ServerProcess {
 public:
  // argv[0] is the program; waits until the server reports READY.
  explicit ServerProcess(const std::vector<std::string>& argv,
                         std::chrono::milliseconds ready_timeout = std::chrono::seconds(20));
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  ~ServerProcess();

  int port(const std::string& name) const;
  // "127.0.0.1:<port>" of the named listener.
  std::string address(const std::string& name) const;
  // Every log line so far, those waiting in the pipe included.
  const std::vector<std::string>& log();
  // The number of log lines that start with `prefix`, read once `expected`
  // of them are there or `patience` has run out. A count above `expected`
  // is returned as it is.
  int count_log(const std::string& prefix, int expected, std::chrono::milliseconds patience = std::chrono::seconds(10));
  void stop();

 private:
  std::string read_line(std::chrono::steady_clock::time_point deadline);
  // Reads what the server printed, waiting at most `wait` for the first byte.
  void read_available(std::chrono::milliseconds wait);

  ServerChannel channel_;
  bool open_ = true;  // the server's output has not ended
  std::string buffer_;
  std::vector<std::string> log_;
  std::map<std::string, int> ports_;
};

// The Python interpreter (Debian's, which sees pyftpdlib) and the tools
// folder, as configured at build time.
std::string python();
std::string tools_dir();

// tools/ftp_server.py serving `root` to one account; `options` are its
// fault switches ("--abort-after", "300000", ...). Its listener is "ftp".
std::unique_ptr<ServerProcess> start_ftp_server(const std::string& root, const std::string& user,
                                                const std::string& password,
                                                const std::vector<std::string>& options = {});

// tools/update_server.py (HTTP and FTP) on a published folder of its own
// holding `files` and the catalogue; refused FTP logins are answered at once.
class UpdateServerProcess {
 public:
  explicit UpdateServerProcess(const std::string& catalogue_json, std::vector<std::string> extra_args = {},
                               const std::map<std::string, std::string>& files = {});
  const std::string& root() const { return root_.path(); }
  std::string published(const std::string& name) const { return root_ / name; }
  std::string address() const { return process_->address("http"); }
  std::string ftp_address() const { return process_->address("ftp"); }
  // The request lines ("GET /... HTTP/1.1") that arrived since the last call.
  std::vector<std::string> requests();
  ServerProcess& process() { return *process_; }
  void stop() { process_->stop(); }

 private:
  TempDir root_;
  std::unique_ptr<ServerProcess> process_;
  std::size_t requests_seen_ = 0;
};

// The query script's path, as the request lines show it.
inline const std::string kQueryScript = "/php_scripts/qor_sw_setup_manager.php";

// "GET <script>?<query> HTTP/1.1"
std::string request_line(const std::string& query);

}  // namespace qor::test
