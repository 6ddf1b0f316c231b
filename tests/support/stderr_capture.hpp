// What the code under test writes to standard error, for the reasons of
// failures that go there one line each.
#pragma once

#include <string>
#include <vector>

namespace qor::test {

// Standard error goes into a temporary file while the capture lives; the
// earlier standard error comes back on destruction.
class StderrCapture {
 public:
  StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;
  ~StderrCapture();

  // Everything written so far.
  std::string text() const;
  // Its lines, without their line ends.
  std::vector<std::string> lines() const;
  // The lines that hold `part`.
  std::vector<std::string> lines_with(const std::string& part) const;
  // The lines the client's failure reports wrote ("QOR_sync_PRO: what: reason").
  std::vector<std::string> failure_lines() const;

 private:
  int saved_ = -1;
  int file_ = -1;
};

}  // namespace qor::test
