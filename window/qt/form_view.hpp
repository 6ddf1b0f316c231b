// Draws a QOR_sync_FRM with Qt Widgets and delivers its events: one widget
// per control, one QTimer per timer. Observes the model and redraws only the
// aspect that changed; a list's items are drawn once the step that changes
// them yields or returns to the event loop, not once per item. The model
// must outlive the view.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "window/QOR_sync_FRM.hpp"
#include "window/qt/event_relay.hpp"
#include "window/qt/form_widget.hpp"

class QTimer;
class QWidget;

namespace qor::qt {

class FormView : public ControlObserver {
 public:
  explicit FormView(QOR_sync_FRM& form);
  FormView(const FormView&) = delete;
  FormView& operator=(const FormView&) = delete;
  ~FormView() override;

  // Runs Form_Load once, centres the window on its screen and shows it; the
  // first layout pass follows from the show.
  void load_and_show();

  FormWidget& window() { return *window_; }
  // The widget drawing a control; null for the window itself and timers.
  QWidget* widget(const Control& control) const;
  QTimer* timer(const Timer& timer) const;

  // An error that escaped an event handler; the default shows it in a
  // message box of the window's host.
  void set_error_handler(std::function<void(const std::string&)> handler) { guard_.on_error = std::move(handler); }

  void changed(Control& control, Aspect aspect) override;
  // Draws the items of every list changed since the last catch-up; the
  // event loop runs it once after a change.
  void catch_up();

 private:
  void build(Control& control, QWidget& parent);
  void build_timer(Timer& timer);
  void restack(const Control& container);
  void set_tab_order();
  void apply(Control& control, Aspect aspect);
  void apply_all(Control& control);
  void place(Control& control, QWidget& widget);
  void set_timer(Timer& timer);
  void layout_pass();
  void defer_items(Control& list);

  QOR_sync_FRM& form_;
  HandlerGuard guard_;
  // The relay outlives the widgets it watches.
  std::unique_ptr<EventRelay> relay_;
  std::unique_ptr<FormWidget> window_;
  std::map<const Control*, QWidget*> widgets_;
  std::map<const Control*, std::unique_ptr<QTimer>> timers_;
  std::set<Control*> stale_lists_;
  bool catch_up_posted_ = false;
  bool loaded_ = false;
};

}  // namespace qor::qt
