// The window's host on Qt: message boxes, yielding to the event loop,
// closing the window and telling that it was closed. Message boxes go
// through MessagePresenter so that tests can record them instead of blocking
// on a modal dialog.
#pragma once

#include <string>

#include <QPointer>
#include <QWidget>

#include "window/form_host.hpp"
#include "window/qt/form_widget.hpp"

namespace qor::qt {

// A modal QMessageBox over the window.
class MessageBoxPresenter : public MessagePresenter {
 public:
  void set_parent(QWidget* parent) { parent_ = parent; }
  MsgResult present(const std::string& text, MsgButtons buttons, const std::string& caption) override;

 private:
  QPointer<QWidget> parent_;
};

class QtFormHost : public FormHost {
 public:
  explicit QtFormHost(MessagePresenter& presenter) : presenter_(presenter) {}
  // The window that Unload closes; set once the view exists.
  void set_window(FormWidget* window) {
    window_ = window;
    has_window_ = window != nullptr;
  }

  MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) override;
  void DoEvents() override;
  void Unload() override;
  // Closed by the user or by Unload, or the window is gone.
  bool closed() const override;

 private:
  MessagePresenter& presenter_;
  QPointer<FormWidget> window_;
  bool has_window_ = false;
  bool unloaded_ = false;
};

}  // namespace qor::qt
