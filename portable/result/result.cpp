#include "portable/result/result.hpp"

#include <cstdio>
#include <cstring>

#include "portable/app_title.hpp"

namespace qor {
namespace {

// Names and reasons may carry text from a server; a line break in them would
// split one report into lines that read as reports of their own.
std::string one_line(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

Failure failure_from_errno(const std::string& what, int error) { return {what + ": " + std::strerror(error), error}; }

void report_failure(const std::string& what, const Failure& failure) {
  std::fprintf(stderr, "%s: %s: %s\n", kApplicationTitle, one_line(what).c_str(), one_line(failure.reason).c_str());
  std::fflush(stderr);
}

}  // namespace qor
