// The window's host on Win32: message boxes, yielding to the message loop,
// closing the window and telling that it was closed. Message boxes go
// through MessagePresenter so that tests can record them instead of blocking
// on a modal dialog.
#pragma once

#include "platform/win32/windows_api.hpp"

#include <functional>
#include <string>

#include "window/form_host.hpp"

namespace qor::win32 {

// A modal MessageBoxW over the window (while it exists).
class MessageBoxPresenter : public MessagePresenter {
 public:
  void set_owner(HWND owner) { owner_ = owner; }
  MsgResult present(const std::string& text, MsgButtons buttons, const std::string& caption) override;

 private:
  HWND owner_ = nullptr;  // not owned: the view holds the window
};

// What MessageBoxW's answer means; closing a box counts as its only or its
// cancelling button.
MsgResult message_box_result(int answer, MsgButtons buttons);

class Win32FormHost : public FormHost {
 public:
  explicit Win32FormHost(MessagePresenter& presenter) : presenter_(presenter) {}
  // The window that Unload destroys; set once the view exists. Not owned.
  void set_window(HWND window) { window_ = window; }
  // Asked about each message DoEvents takes, before it is dispatched; true
  // when it handled the message (the Tab key of the view).
  std::function<bool(const MSG&)> before_dispatch;

  // The view says so when its window is gone (WM_CLOSE, or destroyed).
  void window_closed() { closed_ = true; }

  MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) override;
  void DoEvents() override;
  void Unload() override;
  // Closed by the user or by Unload, or the window is gone; stays true.
  bool closed() const override;

 private:
  MessagePresenter& presenter_;
  HWND window_ = nullptr;
  bool closed_ = false;
};

}  // namespace qor::win32
