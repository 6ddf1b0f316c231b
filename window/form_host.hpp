// What the window needs from the toolkit beyond its controls: message boxes,
// yielding to the event loop, closing, and whether it was closed. Tests
// record instead of blocking.
#pragma once

#include <string>

namespace qor {

enum class MsgButtons { OK, RetryCancel };
enum class MsgResult { OK, Retry, Cancel };

// What became of one file of a download run.
enum class FileOutcome {
  Fetched,  // in its place; detail: the local path
  Stamped,  // carries its version date; detail: the date as "ve=" wrote it
  Kept,     // the user's file that took its place meanwhile stays; detail: the local path
  Failed,   // not fetched, the old file stays; detail: the reason
};

class FormHost {
 public:
  virtual ~FormHost() = default;
  virtual MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) = 0;
  // Lets the event loop handle pending events, then returns.
  virtual void DoEvents() = 0;
  // Closes the window; the program ends with it.
  virtual void Unload() = 0;
  // True once the window was closed, by the user (its close button, the
  // window manager) or by Unload; it stays true. A step that yields looks at
  // it after DoEvents and ends there: the user has left.
  virtual bool closed() const = 0;
  // One file of a download run ended so: for a host that keeps a record of
  // the run line by line (the unattended run). The window tells failures by
  // its boxes and shows nothing else of it.
  virtual void file_outcome(FileOutcome /*outcome*/, const std::string& /*file*/, const std::string& /*detail*/) {}
};

// Shows a message box for a toolkit's host: the modal box of the platform,
// or a recording in tests, which must not block on one.
class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  virtual MsgResult present(const std::string& text, MsgButtons buttons, const std::string& caption) = 0;
};

}  // namespace qor
