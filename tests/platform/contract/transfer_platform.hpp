// What the transfer suites must know of the platform they run on, defined
// once per platform (curl_platform.cpp, wininet_platform.cpp). A case that
// asks is one where the implementations really differ; each says why.
#pragma once

#include <memory>
#include <string>

namespace qor::test {

enum class Implementation { curl, wininet };

// The implementation the program is linked against.
Implementation implementation();
inline bool on_wininet() { return implementation() == Implementation::wininet; }

// Where a failure's reason is in the library's own words: those of the
// implementation under test.
inline const char* words(const char* curl, const char* wininet) { return on_wininet() ? wininet : curl; }

// Wine's WinINet rather than Windows' own.
bool under_wine();

// A test's files may carry names that are no UTF-8 (POSIX names are bytes;
// Windows' names are UTF-16 text).
bool names_are_bytes();

// The proxy the system is set up to reach the internet through ("host:port"),
// for as long as the object lives: the environment's http_proxy on Linux,
// the user's internet settings on Windows. What was set before comes back.
class SystemProxy {
 public:
  explicit SystemProxy(const std::string& address);
  SystemProxy(const SystemProxy&) = delete;
  SystemProxy& operator=(const SystemProxy&) = delete;
  ~SystemProxy();

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

}  // namespace qor::test
