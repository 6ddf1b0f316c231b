// What the checks before publishing found: errors stop the catalogue from
// being written, warnings are told and publishing goes on.
#pragma once

#include <string>
#include <vector>

namespace qor::publish {

struct Finding {
  bool error = true;
  std::string where;  // the file or folder (relative to the release), or "settings:LINE"
  std::string reason;
};

class Findings {
 public:
  void error(std::string where, std::string reason) { all_.push_back({true, std::move(where), std::move(reason)}); }
  void warning(std::string where, std::string reason) { all_.push_back({false, std::move(where), std::move(reason)}); }
  bool has_errors() const {
    for (const Finding& f : all_)
      if (f.error) return true;
    return false;
  }
  const std::vector<Finding>& all() const { return all_; }

 private:
  std::vector<Finding> all_;
};

}  // namespace qor::publish
