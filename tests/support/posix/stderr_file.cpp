// Standard error into an unlinked temporary file, read back by position.
#include "tests/support/stderr_capture.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace qor::test {

StderrCapture::StderrCapture() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qor-stderr-XXXXXX").string();
  file_ = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (file_ < 0) throw std::runtime_error("no file for standard error");
  ::unlink(pattern.c_str());
  std::fflush(stderr);
  saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  if (saved_ < 0 || ::dup2(file_, STDERR_FILENO) < 0) throw std::runtime_error("standard error cannot be redirected");
}

StderrCapture::~StderrCapture() {
  std::fflush(stderr);
  ::dup2(saved_, STDERR_FILENO);
  ::close(saved_);
  ::close(file_);
}

std::string StderrCapture::text() const {
  std::fflush(stderr);
  std::string out;
  char chunk[4096];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(file_, chunk, sizeof chunk, at);
    if (n <= 0) break;
    out.append(chunk, static_cast<std::size_t>(n));
    at += n;
  }
  return out;
}

}  // namespace qor::test
