#include "window/transfer_failures.hpp"

#include "portable/app_title.hpp"
#include "portable/result/result.hpp"

namespace qor {

namespace {

// The message for `more` failures after the boxes, `in_all` in the run: short
// lines, so that no toolkit wraps them.
std::string more_failures_text(std::size_t more, std::size_t in_all) {
  const std::string count = std::to_string(more);
  const std::string total = std::to_string(in_all);
  const bool one = more == 1;
  return "Übertragunsfehler / Transfer failed:\r\n" + count + (one ? " weitere Datei / " : " weitere Dateien / ") +
         count + (one ? " more file" : " more files") + "\r\n" + total + " Dateien insgesamt / " + total +
         " files in all";
}

}  // namespace

void TransferFailures::failed(const std::string& file_name, const std::string& reason) {
  if (host_.closed()) return;
  host_.file_outcome(FileOutcome::Failed, file_name, reason);
  if (boxes_ < kBoxes) {
    ++boxes_;
    host_.MsgBox("Übertragunsfehler", MsgButtons::OK, kApplicationTitle);
    return;
  }
  gathered_.push_back(file_name);
}

void TransferFailures::finish() {
  if (gathered_.empty() || host_.closed()) return;
  std::string names;
  for (const std::string& name : gathered_) names += (names.empty() ? "" : ", ") + name;
  report_failure("download run", Failure{std::to_string(gathered_.size()) + " more files failed: " + names});
  host_.MsgBox(more_failures_text(gathered_.size(), gathered_.size() + static_cast<std::size_t>(boxes_)),
               MsgButtons::OK, kApplicationTitle);
  gathered_.clear();
}

FetchOutcome tell_placement(const std::string& file_name, const std::string& local_folder,
                            const Result<Committed>& placed, TransferFailures& failures) {
  if (!placed) {
    report_failure("transfer of " + file_name, placed.failure());
    failures.failed(file_name, placed.failure().reason);
    return FetchOutcome::Failed;
  }
  if (*placed == Committed::PlaceTaken) {
    // Not a failure the user has to act on: the file they have is kept.
    const std::string kept = local_path(local_folder + "/" + file_name);
    report_failure("transfer of " + file_name, Failure{kept + " appeared meanwhile and is kept"});
    failures.host().file_outcome(FileOutcome::Kept, file_name, kept);
    return FetchOutcome::PlaceTaken;
  }
  failures.host().file_outcome(FileOutcome::Fetched, file_name, local_path(local_folder + "/" + file_name));
  return FetchOutcome::Placed;
}

}  // namespace qor
