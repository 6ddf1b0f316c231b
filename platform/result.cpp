#include "result.hpp"

#include <cstdio>
#include <cstring>

#include "app_title.hpp"

namespace qor {

Failure failure_from_errno(const std::string& what, int error) { return {what + ": " + std::strerror(error), error}; }

void report_failure(const std::string& what, const Failure& failure) {
  std::fprintf(stderr, "%s: %s: %s\n", kApplicationTitle, what.c_str(), failure.reason.c_str());
  std::fflush(stderr);
}

}  // namespace qor
