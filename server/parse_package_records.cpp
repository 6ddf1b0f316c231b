// Hands each List1 record to the local version check through the package
// variables. Nothing is reset between records: a missing field keeps the
// value of the record before.
#include <string_view>

#include "server/answer_grammar.hpp"
#include "server/server_steps.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {

void parse_package_records(QOR_sync_FRM& form) {
  struct Key {
    std::string_view key;
    std::string QOR_sync_MOD::*target;
  };
  static constexpr Key kKeys[] = {
      {"fn=", &QOR_sync_MOD::package_file},
      {"ve=", &QOR_sync_MOD::package_version},
      {"pa=", &QOR_sync_MOD::package_path},
      {"ar=", &QOR_sync_MOD::package_kind},
  };
  QOR_sync_MOD& mod = form.shared().mod;
  const int count = form.List1.ListCount();
  for (int row = 0; row < count; ++row) {
    for (const std::string_view field : answer::record_fields(form.List1.List(row))) {
      for (const Key& k : kKeys) {
        if (const auto value = answer::keyed_value(field, k.key)) {
          mod.*k.target = std::string(*value);
          break;
        }
      }
    }
    mod.package_row = row;
    if (form.steps.check_package_due) form.steps.check_package_due();
  }
}

}  // namespace qor
