// An environment variable set (or removed) for one scope and restored after.
#pragma once

#include <optional>
#include <string>

namespace qor::test {

class ScopedEnv {
 public:
  // No value removes the variable for the scope.
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv();

 private:
  static void apply(const std::string& name, const std::optional<std::string>& value);

  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace qor::test
