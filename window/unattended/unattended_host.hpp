// The window's host when nobody watches: every message the window would
// show becomes a line of the run's record and is answered at once (Cancel
// where it offers Retry, so a failed query ends the run instead of waiting),
// each file of a download run gets its line, and what went wrong is kept
// for the exit code.
#pragma once

#include <string>

#include "window/form_host.hpp"
#include "window/unattended/exit_codes.hpp"
#include "window/unattended/run_log.hpp"

namespace qor {

class UnattendedHost : public FormHost {
 public:
  explicit UnattendedHost(RunLog& log) : log_(log) {}

  MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) override;
  // Nothing to handle: no window, no input; the run itself presses on.
  void DoEvents() override {}
  void Unload() override { closed_ = true; }
  bool closed() const override { return closed_; }
  void file_outcome(FileOutcome outcome, const std::string& file, const std::string& detail) override;

  RunFacts& facts() { return facts_; }
  // Messages shown and files fetched so far, for a step to tell what it added.
  int messages() const { return messages_; }
  int fetched() const { return fetched_; }
  RunLog& log() { return log_; }

 private:
  RunLog& log_;
  RunFacts facts_;
  int messages_ = 0;
  int fetched_ = 0;
  bool closed_ = false;
};

}  // namespace qor
