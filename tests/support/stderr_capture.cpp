#include "stderr_capture.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "app_title.hpp"

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

std::vector<std::string> StderrCapture::lines() const {
  std::vector<std::string> out;
  const std::string all = text();
  std::size_t start = 0;
  while (start < all.size()) {
    const std::size_t end = all.find('\n', start);
    if (end == std::string::npos) {
      out.push_back(all.substr(start));
      break;
    }
    out.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::vector<std::string> StderrCapture::lines_with(const std::string& part) const {
  std::vector<std::string> out;
  for (std::string& line : lines())
    if (line.find(part) != std::string::npos) out.push_back(std::move(line));
  return out;
}

std::vector<std::string> StderrCapture::failure_lines() const {
  const std::string prefix = std::string(kApplicationTitle) + ": ";
  std::vector<std::string> out;
  for (std::string& line : lines())
    if (line.starts_with(prefix)) out.push_back(std::move(line));
  return out;
}

}  // namespace qor::test
