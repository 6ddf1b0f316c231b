// Environment variables of the C library and of the process alike.
#include "tests/support/scoped_env.hpp"

#include <cstdlib>
#include <ctime>

namespace qor::test {

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) old_ = old;
  apply(name_, value);
}

ScopedEnv::~ScopedEnv() { apply(name_, old_); }

// An empty value removes the variable.
void ScopedEnv::apply(const std::string& name, const std::optional<std::string>& value) {
  _putenv_s(name.c_str(), value ? value->c_str() : "");
  if (name == "TZ") _tzset();
}

}  // namespace qor::test
