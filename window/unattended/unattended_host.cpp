#include "window/unattended/unattended_host.hpp"

namespace qor {

MsgResult UnattendedHost::MsgBox(const std::string& text, MsgButtons buttons, const std::string& /*caption*/) {
  ++messages_;
  log_.line("message: " + text);
  if (buttons == MsgButtons::RetryCancel) {
    // Only a failed query of the update server offers Retry; nobody is
    // there to press it, and the step it belongs to stays unfinished.
    facts_.server_unreachable = true;
    return MsgResult::Cancel;
  }
  return MsgResult::OK;
}

void UnattendedHost::file_outcome(FileOutcome outcome, const std::string& file, const std::string& detail) {
  switch (outcome) {
    case FileOutcome::Fetched:
      ++fetched_;
      log_.line("fetched: " + detail);
      break;
    case FileOutcome::Stamped:
      log_.line("stamped: " + file + " " + detail);
      break;
    case FileOutcome::Kept:
      log_.line("kept: " + detail + " (appeared meanwhile; the file there stays)");
      break;
    case FileOutcome::Failed:
      ++facts_.files_failed;
      log_.line("failed: " + file + ": " + detail);
      break;
  }
}

}  // namespace qor
