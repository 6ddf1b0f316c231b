// The download run: fetches every package of List3 into its place, stamps
// date-versioned files with their version date, and shows a growing bar.
#include <optional>
#include <string>
#include <vector>

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

// Files held for one wait for the disk at most: each holds its descriptors
// open until then.
constexpr std::size_t kHeldAtMost = 200;

// Why a package has no place: its file name, or its sub-path.
Failure no_place(const PackageFields& fields) {
  if (!names_one_file(fields.file)) return Failure{"\"" + fields.file + "\" names no file of the login folder"};
  if (holds_control_character(fields.path))
    return Failure{"the folder \"" + fields.path + "\" holds a control character"};
  return Failure{"the folder \"" + fields.path + "\" lies outside the program folder"};
}

// A file that arrived whole and waits for its run's placement.
struct Arrival {
  std::string file;
  std::string local_folder;
  std::string stamp;  // the version date it carries, as "ve=" wrote it; empty for none
};

// How the package goes to its place and what it carries there. A replaced
// file keeps its bits from the transfer; a new program needs its execute
// bits to start; the user's databases are never programs. A date-versioned
// file carries its version date, set before it shows under its name; a file
// that is not placed (a failed transfer leaves the old file, a place taken
// meanwhile holds the user's) carries nothing of it, as stamping either
// would pass it off as the new version and it would never be fetched again.
Placing placing_of(const PackageFields& fields, const std::string& local_file, bool existed, bool only_if_absent) {
  Placing placing;
  placing.placement = only_if_absent ? Placement::OnlyIfAbsent : Placement::Replace;
  placing.startable = fields.kind == "exe" && !existed && !is_user_database(fields.file);
  if (is_date_versioned(fields.kind, fields.file)) {
    // A missing stamp only makes the next run fetch the file again, so the
    // run goes on without a box.
    if (const auto date = read_version_date(fields.version)) {
      if (auto stamp = stamp_for(local_file, *date, true)) {
        placing.last_write = *stamp;
      } else {
        report_failure("stamp", stamp.failure());
      }
    }
  }
  return placing;
}

// Fetches one due package into the run; the arrival when it waits there.
std::optional<Arrival> fetch_one(QOR_sync_FRM& form, const FetchFile& fetch, TransferFailures& failures,
                                 PlacementRun& run, const CheckedRecord& checked) {
  const PackageFields& fields = checked.fields;
  auto place = package_place(form.program_folder, fields.file, fields.path, fields.placement);
  if (!place) {
    // Listed as due, yet nothing can be fetched for it: the user must not
    // take silence for success, and nothing is written.
    const Failure why = no_place(fields);
    report_failure("transfer of " + fields.file, why);
    failures.failed(fields.file, why.reason);
    return std::nullopt;
  }

  const bool existed = form.file_system->FileExists(place->local_file);
  // The user's databases, and files due only because they were missing, may
  // have appeared since the check (the application made one, the user put a
  // backup back): those are put only where the place is still empty.
  const bool only_if_absent = is_user_database(fields.file) || checked.found_missing || !existed;
  const Placing placing = placing_of(fields, place->local_file, existed, only_if_absent);
  if (fetch(fields.file, place->local_folder, placing, run) != FetchOutcome::Held) return std::nullopt;
  return Arrival{fields.file, place->local_folder, placing.last_write ? fields.version : std::string()};
}

// Puts every file the run holds in place with one wait for the disk, tells
// each outcome in the order of the list, and makes the renames durable.
void place_arrivals(TransferFailures& failures, PlacementRun& run, std::vector<Arrival>& arrivals) {
  if (arrivals.empty()) return;
  const std::vector<Result<Committed>> placed = run.place_all();
  for (std::size_t i = 0; i < arrivals.size(); ++i) {
    const FetchOutcome outcome = tell_placement(arrivals[i].file, arrivals[i].local_folder, placed.at(i), failures);
    if (outcome == FetchOutcome::Placed && !arrivals[i].stamp.empty())
      failures.host().file_outcome(FileOutcome::Stamped, arrivals[i].file, arrivals[i].stamp);
  }
  if (const Status settled = run.settle(); !settled) {
    // The files are in place, but the disk did not confirm them: the user
    // is told, and the next run checks them again.
    report_failure("download run", settled.failure());
    for (std::size_t i = 0; i < arrivals.size(); ++i)
      if (placed.at(i) && *placed.at(i) == Committed::Placed)
        failures.failed(arrivals[i].file, settled.failure().reason);
  }
  arrivals.clear();
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

  const auto run = form.file_system->start_placement_run();
  std::vector<Arrival> arrivals;
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
    if (auto arrival = fetch_one(form, fetch, failures, *run, checked->second)) arrivals.push_back(std::move(*arrival));
    if (run->held() >= kHeldAtMost) place_arrivals(failures, *run, arrivals);
  }
  // Files that arrived before the window was closed are put in place too.
  place_arrivals(failures, *run, arrivals);
  failures.finish();
}

}  // namespace qor
