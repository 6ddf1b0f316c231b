// Decides whether one package record of the list being built is due, and if
// so puts it into List3 with its List1 row as item data.
#include "QOR_sync_FRM.hpp"
#include "general_date.hpp"
#include "install_steps.hpp"
#include "local_date.hpp"
#include "package_fields.hpp"
#include "package_kinds.hpp"
#include "package_place.hpp"

namespace qor {
namespace {

// The local file's version as the server writes it, by kind.
std::string local_version_text(FileSystem& fs, const std::string& kind, const std::string& file,
                               const std::string& local_file) {
  if (kind == "exe") return fs.GetFileVersion(local_file);
  if (!is_date_versioned(kind, file)) return {};
  const auto written = fs.DateLastModified(local_file);
  if (!written) {
    report_failure("version check", written.failure());
    return {};
  }
  return general_date_text(utc_to_local_date(*written), user_date_form());
}

}  // namespace

void check_package_due(QOR_sync_FRM& form) {
  const QOR_sync_MOD& mod = form.shared().mod;
  const int row = mod.package_row;
  // The download run places by "st=", so the check must look there too.
  const std::int16_t placement =
      row >= 0 && row < form.List1.ListCount() ? placement_of(form.List1.List(row)) : std::int16_t{0};
  const auto place = package_place(form.program_folder, mod.package_file, mod.package_path, placement);
  if (!place || (form.package_mode != 0 && form.package_mode != 1)) return;

  FileSystem& fs = *form.file_system;
  const bool missing = !fs.FileExists(place->local_file);
  if (missing) {
    form.rows_found_missing.insert(row);
  } else {
    form.rows_found_missing.erase(row);
  }
  bool due = missing;
  if (!due && form.package_mode == 1) {
    due = mod.package_version != local_version_text(fs, mod.package_kind, mod.package_file, place->local_file) &&
          !is_user_database(mod.package_file);
  }
  if (!due) return;
  form.List3.AddItem(mod.package_file);
  form.List3.ItemData(form.List3.NewIndex()) = row;
}

}  // namespace qor
