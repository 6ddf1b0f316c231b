// The download run: fetches every package of List3 into its place, stamps
// date-versioned files with their version date, and shows a growing bar.
#include "QOR_sync_FRM.hpp"
#include "QOR_sync_file_MOD.hpp"
#include "app_title.hpp"
#include "general_date.hpp"
#include "install_steps.hpp"
#include "package_fields.hpp"
#include "package_kinds.hpp"
#include "package_place.hpp"

namespace qor {
namespace {

void install_one(QOR_sync_FRM& form, const FetchFile& fetch, int row) {
  // The same fields the version check saw for this row, so the file goes
  // where it was looked for.
  const PackageFields fields = package_fields_at(form.List1, row);
  const auto place = package_place(form.program_folder, fields.file, fields.path, fields.placement);
  if (!place) {
    // Listed as due (the check may have read a file name left over from an
    // earlier record), yet nothing can be fetched: the user must not take
    // silence for success.
    form.host().MsgBox("Übertragunsfehler", MsgButtons::OK, kApplicationTitle);
    return;
  }

  const bool existed = form.file_system->FileExists(place->local_file);
  // A failed transfer leaves the old file; stamping it would pass it off as
  // the new version, and it would never be fetched again.
  if (!fetch(fields.file, place->local_folder)) return;

  // A replaced file keeps its bits from the transfer; a new program needs
  // its execute bits to start.
  if (fields.kind == "exe" && !existed) {
    if (const Status startable = form.file_system->make_startable(place->local_file); !startable)
      report_failure("new program", startable.failure());
  }
  if (is_date_versioned(fields.kind, fields.file)) {
    if (const auto date = parse_general_date(fields.version, user_date_form()))
      set_file_write_time(*form.file_system, place->local_file, *date, true);
  }
}

}  // namespace

void download_packages(QOR_sync_FRM& form, const FetchFile& fetch) {
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
    if (row < 0 || row >= form.List1.ListCount()) continue;
    install_one(form, fetch, row);
  }
}

}  // namespace qor
