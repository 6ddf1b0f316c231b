// Starts a test server (a Python script of tools/) as a child process and
// reads the ports it reports: each line "LISTENING <name> <port>" on stdout,
// the last one followed by "READY". The process is stopped on destruction.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

namespace qor::test {

class ServerProcess {
 public:
  // argv[0] is the program; waits until the server reports READY.
  explicit ServerProcess(std::vector<std::string> argv,
                         std::chrono::milliseconds ready_timeout = std::chrono::seconds(20));
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  ~ServerProcess();

  int port(const std::string& name) const;
  // "127.0.0.1:<port>" of the named listener.
  std::string address(const std::string& name) const;
  // Lines the server printed on stdout after READY (its log), read so far.
  std::vector<std::string> read_log();
  void stop();
  bool running() const { return pid_ > 0; }

 private:
  std::string read_line(std::chrono::steady_clock::time_point deadline);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string buffer_;
  std::map<std::string, int> ports_;
};

// The Python interpreter and the tools folder, as configured at build time.
std::string python();
std::string tools_dir();
std::string source_dir();

// A fresh temporary folder, removed with its contents on destruction.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Small file helpers for tests.
void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);

}  // namespace qor::test
