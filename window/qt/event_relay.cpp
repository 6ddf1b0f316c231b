#include "window/qt/event_relay.hpp"

#include <exception>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
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

// Presses on widgets the relay does not watch (a list, the window) pass it
// by, so the latest press it saw pairs with a double click only within the
// time that makes one.
bool EventRelay::pairs_with_last_press(const QObject* watched, const QMouseEvent& mouse) const {
  const auto interval = static_cast<quint64>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
  return last_press_ == watched && mouse.timestamp() - last_press_time_ <= interval;
}

bool EventRelay::eventFilter(QObject* watched, QEvent* event) {
  const auto found = controls_.find(watched);
  if (found == controls_.end()) return QObject::eventFilter(watched, event);
  Control& control = *found->second;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return true;
      // Qt sends the second press of a quick pair at one spot as a double
      // click alone, even when the first press went to another control: one
      // whose click put this control in its place. Only the second press on
      // the control that took the first is no press of its own.
      const bool second_press = event->type() == QEvent::MouseButtonDblClick && pairs_with_last_press(watched, *mouse);
      pressed_ = second_press ? nullptr : watched;
      last_press_ = watched;
      last_press_time_ = mouse->timestamp();
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
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace qor::qt
