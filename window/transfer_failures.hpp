// Tells the user of the files one download run could not put in place: a
// box for each of the first few, then one message at the end of the run for
// all the rest, so that a list of bad records cannot bury the window under
// hundreds of boxes.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.hpp"
#include "portable/result/result.hpp"
#include "window/fetch_outcome.hpp"
#include "window/form_host.hpp"

namespace qor {

class TransferFailures {
 public:
  // Failures that still get a box of their own.
  static constexpr int kBoxes = 3;

  explicit TransferFailures(FormHost& host) : host_(host) {}

  // One more file failed (its reason is already on standard error): shows
  // "Übertragunsfehler", or keeps the name for the message at the end, and
  // hands the reason to the host's record of the run. Once the window is
  // closed nothing is shown any more.
  void failed(const std::string& file_name, const std::string& reason);
  // The end of the run: one message for the failures without a box, their
  // names on standard error. Nothing once the window is closed.
  void finish();

  FormHost& host() { return host_; }

 private:
  FormHost& host_;
  int boxes_ = 0;
  std::vector<std::string> gathered_;
};

// Tells how putting file_name into local_folder ended: a failure on standard
// error and through `failures`; a place found taken (OnlyIfAbsent) on
// standard error only, as the user's file is kept. The host's record of the
// run gets each outcome.
FetchOutcome tell_placement(const std::string& file_name, const std::string& local_folder,
                            const Result<Committed>& placed, TransferFailures& failures);

}  // namespace qor
