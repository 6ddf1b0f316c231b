// Turns Qt mouse events on the drawn controls into the model's Click and
// MouseMove events, the way the control model defines them: each control
// gets the events over its own area, nothing bubbles up to its container.
#pragma once

#include <functional>
#include <map>
#include <string>

#include <QObject>
#include <QPointer>

#include "window/controls.hpp"

class QMouseEvent;
class QWidget;

namespace qor::qt {

// Runs an event handler; an error escaping it must not cross the Qt event
// loop, so it is reported and the program carries on.
class HandlerGuard {
 public:
  std::function<void(const std::string& what)> on_error;
  void run(const std::function<void()>& handler) const;
};

class EventRelay : public QObject {
 public:
  explicit EventRelay(const HandlerGuard& guard) : guard_(guard) {}
  // Watches the widget of a label, image or picture box.
  void watch(QWidget& widget, Control& control);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool pairs_with_last_press(const QObject* watched, const QMouseEvent& mouse) const;

  const HandlerGuard& guard_;
  std::map<const QObject*, Control*> controls_;
  // A click is a release over the control that got the press.
  QPointer<QObject> pressed_;
  // The latest press on a control, to tell that control's own double click
  // from a first press on a control that took its place.
  QPointer<QObject> last_press_;
  quint64 last_press_time_ = 0;
};

}  // namespace qor::qt
