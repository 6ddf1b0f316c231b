// What a test server of tools/ prints, as it arrives: on Linux the pipe of
// a child process; for a Windows test program under Wine, the connection to
// tools/wine_test_servers.py, which starts the server on the Linux side
// (Windows paths among its arguments become the Linux paths Wine maps them
// to) and passes on what it prints.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace qor::test {

class ServerChannel {
 public:
  // argv[0] is the interpreter, argv[1] the server's script.
  explicit ServerChannel(const std::vector<std::string>& argv);
  ServerChannel(const ServerChannel&) = delete;
  ServerChannel& operator=(const ServerChannel&) = delete;
  // Stops the server.
  ~ServerChannel();

  // Appends to `into` what arrives within `wait` (what is there already,
  // for a wait of 0); false once the server's output has ended.
  bool read(std::string& into, std::chrono::milliseconds wait);
  // Stops the server; what it printed before stays readable.
  void stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A port on 127.0.0.1 that nobody listens on.
int closed_port();

}  // namespace qor::test
