// Decides whether one package record of the list being built is due, and if
// so puts it into List3 with its List1 row as item data, and keeps the
// fields it decided by for the download run.
#include "install/install_steps.hpp"
#include "install/package_fields.hpp"
#include "install/package_kinds.hpp"
#include "install/package_place.hpp"
#include "install/version_date.hpp"
#include "server/package_name.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {
namespace {

// Whether the local file is the server's version, by kind: a program by its
// version resource, a date-versioned file by its last-write time; other
// kinds have the empty text as their local version.
bool is_current(FileSystem& fs, const PackageFields& package, const std::string& local_file) {
  if (package.kind == "exe") return package.version == fs.GetFileVersion(local_file);
  if (!is_date_versioned(package.kind, package.file)) return package.version.empty();
  const auto written = fs.DateLastModified(local_file);
  if (!written) {
    report_failure("version check", written.failure());
    return package.version.empty();
  }
  return is_version_date_of(package.version, *written);
}

}  // namespace

void check_package_due(QOR_sync_FRM& form) {
  if (form.package_mode != 0 && form.package_mode != 1) return;
  const QOR_sync_MOD& mod = form.shared().mod;
  const int row = mod.package_row;
  // The download run places by "st=", so the check must look there too.
  const std::int16_t placement =
      row >= 0 && row < form.List1.ListCount() ? placement_of(form.List1.List(row)) : std::int16_t{0};
  PackageFields package{mod.package_file, mod.package_path, mod.package_version, mod.package_kind, placement};
  // A folder outside the program folder is never offered.
  if (!path_below_program_folder(package.path)) return;

  // A file name that names no file cannot be there: it is due, and the
  // download run refuses it with its message, so it does not pass unseen.
  const auto place = package_place(form.program_folder, package.file, package.path, placement);
  FileSystem& fs = *form.file_system;
  const bool missing = !place || !fs.FileExists(place->local_file);
  bool due = missing;
  if (!due && form.package_mode == 1) {
    due = !is_current(fs, package, place->local_file) && !is_user_database(package.file);
  }
  if (!due) return;
  form.List3.AddItem(package.file);
  form.List3.ItemData(form.List3.NewIndex()) = row;
  form.checked_records[row] = CheckedRecord{std::move(package), missing};
}

}  // namespace qor
