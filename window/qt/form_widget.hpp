// The top-level window: fixed client size, close button only, no taskbar
// entry. Tells its view when it is shown, resized, moved or closed.
#pragma once

#include <functional>

#include <QWidget>

namespace qor::qt {

class FormWidget : public QWidget {
 public:
  FormWidget(int client_width, int client_height);

  std::function<void()> on_geometry;  // shown, resized, or the frame changed
  std::function<void()> on_closed;
  // The window was closed (its close button, the window manager, close()).
  bool was_closed() const { return was_closed_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void geometry_changed();

  bool was_closed_ = false;
};

}  // namespace qor::qt
