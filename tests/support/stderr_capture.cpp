// The captured text in lines; taking and reading the text is each
// platform's own (posix/, win32/).
#include "tests/support/stderr_capture.hpp"

#include "portable/app_title.hpp"

namespace qor::test {

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
