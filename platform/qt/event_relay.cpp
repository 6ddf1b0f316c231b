#include "event_relay.hpp"

#include <exception>

#include <QMouseEvent>
#include <QWidget>

namespace qor::qt {

void HandlerGuard::run(const std::function<void()>& handler) const {
  if (!handler) return;
  try {
    handler();
  } catch (const std::exception& e) {
    if (on_error) on_error(e.what());
  } catch (...) {
    if (on_error) on_error("unknown error");
  }
}

void EventRelay::watch(QWidget& widget, Control& control) {
  controls_[&widget] = &control;
  // Moves without a button reach a widget only with tracking on; without it
  // they would go to the container and clear a highlight there.
  widget.setMouseTracking(true);
  widget.setAttribute(Qt::WA_NoMousePropagation);
  widget.installEventFilter(this);
  connect(&widget, &QObject::destroyed, this, [this](QObject* gone) { controls_.erase(gone); });
}

bool EventRelay::eventFilter(QObject* watched, QEvent* event) {
  const auto found = controls_.find(watched);
  if (found == controls_.end()) return QObject::eventFilter(watched, event);
  Control& control = *found->second;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton) pressed_ = watched;
      return true;
    }
    case QEvent::MouseButtonRelease: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const auto* widget = static_cast<QWidget*>(watched);
      const bool click = mouse->button() == Qt::LeftButton && pressed_ == watched &&
                         widget->rect().contains(mouse->position().toPoint());
      pressed_ = nullptr;
      if (click) guard_.run(control.on_click);
      return true;
    }
    case QEvent::MouseMove:
      guard_.run(control.on_mouse_move);
      return true;
    case QEvent::MouseButtonDblClick:
      // The second press of a double click is no second Click.
      return true;
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace qor::qt
