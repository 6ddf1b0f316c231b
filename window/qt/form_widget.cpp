#include "window/qt/form_widget.hpp"

#include <QCloseEvent>

namespace qor::qt {

FormWidget::FormWidget(int client_width, int client_height)
    // A tool window keeps out of the taskbar on window managers that honour
    // the hint; the customize hint drops minimize and maximize.
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setFixedSize(client_width, client_height);
  setAutoFillBackground(true);
}

void FormWidget::geometry_changed() {
  if (on_geometry) on_geometry();
}

void FormWidget::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  geometry_changed();
}

void FormWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (isVisible()) geometry_changed();
}

// The window manager adds its frame after the first show; the outer width
// the layout reads changes with it.
void FormWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (isVisible()) geometry_changed();
}

void FormWidget::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (!event->isAccepted()) return;
  was_closed_ = true;
  if (on_closed) on_closed();
}

}  // namespace qor::qt
