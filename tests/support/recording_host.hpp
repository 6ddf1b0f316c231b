// The window's host for tests: records every message box with its text,
// buttons and caption, answers from a script, counts yields and closes; a
// test closes the window as a user would by setting window_closed.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "window/form_host.hpp"

namespace qor::test {

struct Message {
  std::string text;
  MsgButtons buttons;
  std::string caption;
};

class RecordingHost : public FormHost {
 public:
  // The next answer of `answers`; once they have run out, OK for an OK box
  // and Cancel for a question, so a repeated failure cannot loop for ever.
  MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) override;
  void DoEvents() override;
  void Unload() override {
    ++unloads;
    window_closed = true;
  }
  bool closed() const override { return window_closed; }

  // The texts of the messages so far.
  std::vector<std::string> texts() const;

  std::vector<Message> messages;
  std::deque<MsgResult> answers;
  // Runs inside each MsgBox, after it was recorded, as events arriving while
  // the box is up (the user closing the window, say).
  std::function<void()> on_message;
  // Runs inside each DoEvents, as events arriving while a step yields.
  std::function<void()> on_yield;
  int yields = 0;
  int unloads = 0;
  // Closed by Unload or by the user (a test sets it, from on_yield say).
  bool window_closed = false;
};

}  // namespace qor::test
