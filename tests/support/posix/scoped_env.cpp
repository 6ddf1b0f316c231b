#include "tests/support/scoped_env.hpp"

#include <cstdlib>
#include <ctime>

namespace qor::test {

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) old_ = old;
  apply(name_, value);
}

ScopedEnv::~ScopedEnv() { apply(name_, old_); }

void ScopedEnv::apply(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
  // The C library reads TZ only when told to.
  if (name == "TZ") ::tzset();
}

}  // namespace qor::test
