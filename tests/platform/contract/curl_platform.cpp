// The transfer suites on Linux, against the libcurl implementation: libcurl
// takes its proxy from the environment.
#include <memory>
#include <optional>

#include "tests/platform/contract/transfer_platform.hpp"
#include "tests/support/scoped_env.hpp"

namespace qor::test {

Implementation implementation() { return Implementation::curl; }
bool under_wine() { return false; }
bool names_are_bytes() { return true; }

struct SystemProxy::Saved {
  explicit Saved(const std::string& address)
      : http_proxy("http_proxy", "http://" + address),
        no_proxy("no_proxy", std::nullopt),
        no_proxy_upper("NO_PROXY", std::nullopt) {}
  ScopedEnv http_proxy;
  ScopedEnv no_proxy;
  ScopedEnv no_proxy_upper;
};

SystemProxy::SystemProxy(const std::string& address) : saved_(std::make_unique<Saved>(address)) {}

SystemProxy::~SystemProxy() = default;

}  // namespace qor::test
