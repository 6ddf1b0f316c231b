// The download run: fetches every package of List3 into its place, stamps
// date-versioned files with their version date, and shows a growing bar.
#include "filetime/filetime_steps.hpp"
#include "install/install_steps.hpp"
#include "install/package_fields.hpp"
#include "install/package_kinds.hpp"
#include "install/package_place.hpp"
#include "install/version_date.hpp"
#include "portable/text/control_characters.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/transfer_failures.hpp"

namespace qor {
namespace {

// Why a package has no place: its file name, or its sub-path.
Failure no_place(const PackageFields& fields) {
  if (!names_one_file(fields.file)) return Failure{"\"" + fields.file + "\" names no file of the login folder"};
  if (holds_control_character(fields.path))
    return Failure{"the folder \"" + fields.path + "\" holds a control character"};
  return Failure{"the folder \"" + fields.path + "\" lies outside the program folder"};
}

void install_one(QOR_sync_FRM& form, const FetchFile& fetch, TransferFailures& failures, const CheckedRecord& checked) {
  const PackageFields& fields = checked.fields;
  const auto place = package_place(form.program_folder, fields.file, fields.path, fields.placement);
  if (!place) {
    // Listed as due, yet nothing can be fetched for it: the user must not
    // take silence for success, and nothing is written.
    report_failure("transfer of " + fields.file, no_place(fields));
    failures.failed(fields.file);
    return;
  }

  const bool existed = form.file_system->FileExists(place->local_file);
  // The user's databases, and files due only because they were missing, may
  // have appeared since the check (the application made one, the user put a
  // backup back): those are put only where the place is still empty.
  const bool only_if_absent = is_user_database(fields.file) || checked.found_missing || !existed;
  // A failed transfer leaves the old file, and a place taken meanwhile holds
  // the user's: stamping either would pass it off as the new version, and it
  // would never be fetched again.
  const Placement placement = only_if_absent ? Placement::OnlyIfAbsent : Placement::Replace;
  if (fetch(fields.file, place->local_folder, placement) != FetchOutcome::Placed) return;

  // A replaced file keeps its bits from the transfer; a new program needs
  // its execute bits to start. The user's databases are never programs.
  if (fields.kind == "exe" && !existed && !is_user_database(fields.file)) {
    if (const Status startable = form.file_system->make_startable(place->local_file); !startable)
      report_failure("new program", startable.failure());
  }
  if (is_date_versioned(fields.kind, fields.file)) {
    // The file is in place either way; a missing stamp only makes the next
    // run fetch it again, so the run goes on without a box.
    if (const auto date = read_version_date(fields.version)) {
      if (const Status stamped = set_file_write_time(*form.file_system, place->local_file, *date, true); !stamped)
        report_failure("stamp", stamped.failure());
    }
  }
}

}  // namespace

void download_packages(QOR_sync_FRM& form, const FetchFile& fetch) {
  TransferFailures failures(form.host());
  download_packages(form, fetch, failures);
}

void download_packages(QOR_sync_FRM& form, const FetchFile& fetch, TransferFailures& failures) {
  const int planned = form.List3.ListCount();
  if (planned == 0) return;  // nothing to do, and no width per item
  const double progress_step =
      (static_cast<double>(form.Picture1(1).Width) - 2.0 * static_cast<double>(form.Picture2.Left)) / planned;

  struct HideBar {
    PictureBox& bar;
    ~HideBar() { bar.Visible = false; }
  } hide_bar{form.Picture2};
  form.Picture2.Width = 50;
  form.Picture2.Visible = true;
  form.host().DoEvents();

  const int count = form.List3.ListCount();
  for (int i = 0; i < count; ++i) {
    if (i > 0) form.Picture2.Width = static_cast<float>(i * progress_step);
    form.host().DoEvents();
    // A user who closed the window meanwhile has ended the run; the lists
    // may have been rebuilt while events ran: take what is there.
    if (form.host().closed() || i >= form.List3.ListCount()) break;
    const int row = form.List3.ItemData(i);
    // The fields the version check decided by, so the file goes where it
    // was looked for; an item the check did not put there is left alone.
    const auto checked = form.checked_records.find(row);
    if (row < 0 || row >= form.List1.ListCount() || checked == form.checked_records.end()) continue;
    install_one(form, fetch, failures, checked->second);
  }
  failures.finish();
}

}  // namespace qor
