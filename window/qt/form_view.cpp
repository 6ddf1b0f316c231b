#include "window/qt/form_view.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "portable/app_title.hpp"
#include "window/qt/control_widgets.hpp"
#include "window/qt/twips.hpp"

namespace qor::qt {
namespace {

// The design client area: 8325 x 7935 twips.
constexpr int kClientWidth = 555;
constexpr int kClientHeight = 529;

bool is_windowless(const Control& control) {
  return control.type() == ControlType::Label || control.type() == ControlType::Image;
}

}  // namespace

FormView::FormView(QOR_sync_FRM& form)
    : form_(form),
      relay_(std::make_unique<EventRelay>(guard_)),
      window_(std::make_unique<FormWidget>(kClientWidth, kClientHeight)) {
  guard_.on_error = [this](const std::string& what) {
    form_.host().MsgBox("Interner Fehler / Internal error:\r\n" + what, MsgButtons::OK, kApplicationTitle);
  };
  for (Control* child : form_.Form.children()) {
    if (child->type() == ControlType::Timer) {
      build_timer(static_cast<Timer&>(*child));
    } else {
      build(*child, *window_);
    }
  }
  restack(form_.Form);
  set_tab_order();
  apply_all(form_.Form);
  for (auto& [control, widget] : widgets_) apply_all(const_cast<Control&>(*control));
  form_.for_each_control([this](Control& control) { control.set_observer(this); });

  window_->on_geometry = [this] { layout_pass(); };
}

FormView::~FormView() {
  form_.for_each_control([](Control& control) { control.set_observer(nullptr); });
  for (auto& [control, timer] : timers_) timer->stop();
}

void FormView::build(Control& control, QWidget& parent) {
  QWidget* widget = create_control_widget(control, parent);
  if (widget == nullptr) return;
  widgets_[&control] = widget;
  widget->setObjectName(QString::fromStdString(control.display_name()));
  if (control.type() == ControlType::PictureBox || is_windowless(control)) relay_->watch(*widget, control);
  for (Control* child : control.children()) build(*child, *widget);
  restack(control);
}

// A closed window's timers tick no more, as a destroyed window's timers do
// not: a step that yields after Unload starts no further step.
void FormView::build_timer(Timer& timer) {
  auto qtimer = std::make_unique<QTimer>();
  QTimer* raw = qtimer.get();
  QObject::connect(raw, &QTimer::timeout, raw, [this, &timer, raw] {
    if (window_->was_closed()) return raw->stop();
    guard_.run([&timer] { timer.Tick(); });
  });
  timers_[&timer] = std::move(qtimer);
}

// Windowless controls lie on the container's surface beneath its windowed
// ones; windowed siblings stack by ZOrder, higher above.
void FormView::restack(const Control& container) {
  std::vector<Control*> order(container.children().begin(), container.children().end());
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    const bool a_windowed = !is_windowless(*a);
    const bool b_windowed = !is_windowless(*b);
    if (a_windowed != b_windowed) return !a_windowed;
    return a->ZOrder < b->ZOrder;
  });
  for (Control* child : order) {
    if (QWidget* widget = this->widget(*child)) widget->raise();
  }
}

// Keyboard focus moves through the focusable widgets in TabIndex order.
void FormView::set_tab_order() {
  std::vector<std::pair<int, QWidget*>> focusable;
  for (const auto& [control, widget] : widgets_) {
    if (widget->focusPolicy() & Qt::TabFocus) focusable.emplace_back(control->TabIndex, widget);
  }
  std::sort(focusable.begin(), focusable.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < focusable.size(); ++i) QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);
}

void FormView::apply_all(Control& control) {
  for (Aspect aspect : {Aspect::Picture, Aspect::Geometry, Aspect::Caption, Aspect::BackColor, Aspect::ForeColor,
                        Aspect::FontBold, Aspect::Items}) {
    apply(control, aspect);
  }
  // Visibility last, so a widget appears with its final look.
  apply(control, Aspect::Visible);
}

QWidget* FormView::widget(const Control& control) const {
  const auto found = widgets_.find(&control);
  return found == widgets_.end() ? nullptr : found->second;
}

QTimer* FormView::timer(const Timer& timer) const {
  const auto found = timers_.find(&timer);
  return found == timers_.end() ? nullptr : found->second.get();
}

void FormView::changed(Control& control, Aspect aspect) {
  if (aspect == Aspect::Items) {
    defer_items(control);
  } else {
    apply(control, aspect);
  }
}

// A step may add tens of thousands of items one by one; drawing the whole
// list after each would make filling it quadratic.
void FormView::defer_items(Control& list) {
  stale_lists_.insert(&list);
  if (catch_up_posted_) return;
  catch_up_posted_ = true;
  // Queued on the window, so it is dropped if the view goes first.
  QMetaObject::invokeMethod(
      window_.get(), [this] { catch_up(); }, Qt::QueuedConnection);
}

void FormView::catch_up() {
  catch_up_posted_ = false;
  const std::set<Control*> lists = std::exchange(stale_lists_, {});
  for (Control* list : lists) apply(*list, Aspect::Items);
}

void FormView::apply(Control& control, Aspect aspect) {
  if (control.type() == ControlType::Timer) {
    if (aspect == Aspect::Enabled) set_timer(static_cast<Timer&>(control));
    return;
  }
  if (&control == &form_.Form) {
    if (aspect == Aspect::Caption || aspect == Aspect::BackColor) draw_aspect(control, *window_, aspect);
    return;
  }
  if (QWidget* widget = this->widget(control)) {
    if (aspect == Aspect::FontBold && control.type() == ControlType::PictureBox) return;
    draw_aspect(control, *widget, aspect);
  }
}

// Enabling a running timer again does not restart it: its step still
// starts once, at the first tick.
void FormView::set_timer(Timer& timer) {
  QTimer* qtimer = this->timer(timer);
  if (qtimer == nullptr) return;
  if (!timer.Enabled || timer.Interval <= 0 || window_->was_closed()) {
    qtimer->stop();
  } else if (!qtimer->isActive()) {
    qtimer->start(timer.Interval);
  }
}

void FormView::load_and_show() {
  if (!loaded_) {
    loaded_ = true;
    guard_.run([this] { form_.Form_Load(); });
  }
  if (const QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    window_->move(area.center() - QPoint(window_->width() / 2, window_->height() / 2));
  }
  window_->show();
}

void FormView::layout_pass() {
  const float scale_width = to_twips(window_->width());
  const float scale_height = to_twips(window_->height());
  const float outer_width = to_twips(std::max(window_->frameGeometry().width(), window_->width()));
  if (form_.Form.take_sizes(scale_width, scale_height, outer_width)) guard_.run([this] { form_.Form_Resize(); });
}

}  // namespace qor::qt
