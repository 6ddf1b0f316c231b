// Programs a test starts and waits for.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qor::test {

// A started program; one still running when the object goes is ended.
class ChildProcess {
 public:
  // Throws when the program cannot be started. Without standard handles it
  // starts as Windows starts a GUI program from a console: with none.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               bool without_standard_handles = false);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();
  // Its exit code, or none when it has not ended within `limit`.
  std::optional<unsigned long> wait(std::chrono::milliseconds limit);
  void end();

 private:
  void* process_;  // a HANDLE
};

}  // namespace qor::test
