// The window's host on Qt: message boxes, yielding to the event loop and
// closing the window. Message boxes go through MessagePresenter so that
// tests can record them instead of blocking on a modal dialog.
#pragma once

#include <string>

#include <QPointer>
#include <QWidget>

#include "form_host.hpp"

namespace qor::qt {

class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  virtual MsgResult present(const std::string& text, MsgButtons buttons, const std::string& caption) = 0;
};

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
  void set_window(QWidget* window) { window_ = window; }

  MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) override;
  void DoEvents() override;
  void Unload() override;

 private:
  MessagePresenter& presenter_;
  QPointer<QWidget> window_;
};

}  // namespace qor::qt
