// The contract suite's glue for Qt Widgets, offscreen: input through the
// window's platform window, pixels read from the window rendered as it is.
#include <cstdlib>

#include <gtest/gtest.h>
#include <QApplication>
#include <QFrame>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "tests/window/contract/qt_glue.hpp"
#include "window/qt/qt_form_host.hpp"

namespace qor::test {

struct ToolkitView::Native {
  explicit Native(QOR_sync_FRM& form) : view(form) {}
  qt::FormView view;

  QWidget& widget(const Control& control) const {
    QWidget* w = view.widget(control);
    if (w == nullptr) throw std::logic_error(control.display_name() + " has no widget");
    return *w;
  }
  qt::FormWidget& window() { return view.window(); }
  QWindow* handle() { return view.window().windowHandle(); }
  // A spot of a control, in window coordinates.
  QPoint at(const Control& control, Spot spot) {
    QWidget& w = widget(control);
    const QPoint local = spot.x < 0 ? w.rect().center() : QPoint(spot.x, spot.y);
    return w.mapTo(&window(), local);
  }
  QImage rendered(const QRect& area) { return window().grab(area).toImage(); }
};

namespace {

Rgb rgb_of(const QColor& c) { return {c.red(), c.green(), c.blue()}; }

}  // namespace

ToolkitView::ToolkitView(QOR_sync_FRM& form) : native_(std::make_unique<Native>(form)) {
  native_->view.load_and_show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&native_->window()));
}

ToolkitView::~ToolkitView() = default;
qt::FormView& native(ToolkitView& view) { return view.native().view; }

void ToolkitView::pump(int ms) { QTest::qWait(ms); }
bool ToolkitView::pump_until(const std::function<bool()>& done, int ms) { return QTest::qWaitFor(done, ms); }
int ToolkitView::double_click_time() { return QApplication::doubleClickInterval(); }
std::string ToolkitView::toolkit() { return "Qt"; }

std::string ToolkitView::title() const { return native_->window().windowTitle().toStdString(); }
int ToolkitView::client_width() const { return native_->window().width(); }
int ToolkitView::client_height() const { return native_->window().height(); }
bool ToolkitView::fixed_size() const {
  const QWidget& w = native_->window();
  return w.minimumSize() == w.maximumSize() &&
         !(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}
bool ToolkitView::has_close_button() const {
  return (native_->window().windowFlags() & Qt::WindowCloseButtonHint) != 0;
}
bool ToolkitView::window_shown() const { return native_->window().isVisible(); }
bool ToolkitView::takes_close() const {
  // The toolkit drops the window manager's close for a window a modal box blocks.
  return QGuiApplication::modalWindow() == nullptr && QApplication::activeModalWidget() == nullptr;
}
void ToolkitView::close() { native_->handle()->close(); }
void ToolkitView::close_after(int ms) {
  QTimer::singleShot(ms, &native_->window(), [this] { close(); });
}
void ToolkitView::on_closed(std::function<void()> handler) {
  auto& slot = native_->window().on_closed;
  slot = [before = slot, handler = std::move(handler)] {
    if (before) before();
    handler();
  };
}
ControlObserver& ToolkitView::observer() { return native_->view; }

Area ToolkitView::area(const Control& control) const {
  const QRect r = native_->widget(control).geometry();
  return {r.x(), r.y(), r.width(), r.height()};
}
bool ToolkitView::shown(const Control& control) const { return native_->widget(control).isVisible(); }
bool ToolkitView::sunken(const Control& control) const {
  const auto* frame = qobject_cast<const QFrame*>(&native_->widget(control));
  return frame != nullptr && frame->frameWidth() > 0;
}
int ToolkitView::stack_position(const Control& control) const {
  // Later children are drawn over earlier ones.
  const QWidget& w = native_->widget(control);
  const QObjectList& siblings = w.parent()->children();
  return static_cast<int>(siblings.size() - 1 - siblings.indexOf(&w));
}
std::vector<std::string> ToolkitView::list_items(const ListBox& list) const {
  const auto& widget = static_cast<const QListWidget&>(native_->widget(list));
  std::vector<std::string> items;
  items.reserve(static_cast<std::size_t>(widget.count()));
  for (int i = 0; i < widget.count(); ++i) items.push_back(widget.item(i)->text().toStdString());
  return items;
}
int ToolkitView::list_selection(const ListBox& list) const {
  return static_cast<const QListWidget&>(native_->widget(list)).currentRow();
}
Spot ToolkitView::list_row(const ListBox& list, int row) const {
  const auto& widget = static_cast<const QListWidget&>(native_->widget(list));
  const QPoint p = widget.viewport()->mapTo(&widget, widget.visualItemRect(widget.item(row)).center());
  return {p.x(), p.y()};
}
bool ToolkitView::timer_running(const Timer& timer) const { return native_->view.timer(timer)->isActive(); }

Rgb ToolkitView::pixel(const Control& control, Spot spot) const {
  return rgb_of(native_->rendered(QRect(native_->at(control, spot), QSize(1, 1))).pixelColor(0, 0));
}
int ToolkitView::ink(const Control& control, Rgb background, int from_row, int to_row) const {
  QWidget& w = native_->widget(control);
  const QImage image = native_->rendered(QRect(w.mapTo(&native_->window(), QPoint(0, 0)), w.size()));
  if (to_row < 0) to_row = image.height();
  int ink = 0;
  for (int y = from_row; y < to_row; ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      const int distance =
          std::abs(c.red() - background.r) + std::abs(c.green() - background.g) + std::abs(c.blue() - background.b);
      ink += distance > 120 ? 1 : 0;
    }
  }
  return ink;
}

void ToolkitView::move_to(const Control& control, Spot spot) {
  QTest::mouseMove(native_->handle(), native_->at(control, spot));
}
void ToolkitView::press(const Control& control, Spot spot) {
  QTest::mousePress(native_->handle(), Qt::LeftButton, {}, native_->at(control, spot));
}
void ToolkitView::release(const Control& control, Spot spot) {
  QTest::mouseRelease(native_->handle(), Qt::LeftButton, {}, native_->at(control, spot));
}
void ToolkitView::click(const Control& control, Spot spot) {
  QTest::mouseClick(native_->handle(), Qt::LeftButton, {}, native_->at(control, spot));
}
void ToolkitView::double_click(const Control& control, Spot spot) {
  QTest::mouseDClick(native_->handle(), Qt::LeftButton, {}, native_->at(control, spot));
}
void ToolkitView::type_space() { QTest::keyClick(&native_->window(), Qt::Key_Space); }

struct ToolkitHost::Native {
  qt::MessageBoxPresenter presenter;
  qt::QtFormHost host{presenter};
  bool loop_ended = false;
};

ToolkitHost::ToolkitHost() : native_(std::make_unique<Native>()) {}
ToolkitHost::~ToolkitHost() = default;
FormHost& ToolkitHost::host() { return native_->host; }
void ToolkitHost::bind(ToolkitView& view) {
  qt::FormWidget& window = view.native().view.window();
  native_->presenter.set_parent(&window);
  native_->host.set_window(&window);
  // As the program does: the event loop ends with the window.
  view.on_closed([this] { native_->loop_ended = true; });
}
bool ToolkitHost::loop_told_to_end() { return native_->loop_ended; }

namespace {

QMessageBox* the_box() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) return box;
  return nullptr;
}

QMessageBox::StandardButton button_of(MsgResult result) {
  switch (result) {
    case MsgResult::Retry:
      return QMessageBox::Retry;
    case MsgResult::Cancel:
      return QMessageBox::Cancel;
    default:
      return QMessageBox::Ok;
  }
}

std::unique_ptr<QTimer> user_timer;

}  // namespace

void answer_next_box(SeenBox& seen, std::optional<MsgResult> button) {
  auto* timer = new QTimer(QCoreApplication::instance());  // deletes itself once it answered
  QObject::connect(timer, &QTimer::timeout, timer, [timer, &seen, button] {
    QMessageBox* box = the_box();
    if (box == nullptr) return;
    timer->stop();
    timer->deleteLater();
    seen = {true, box->windowTitle().toStdString(), box->text().toStdString(), static_cast<int>(box->buttons().size())};
    if (button)
      box->button(button_of(*button))->click();
    else
      box->close();
  });
  timer->start(20);
}

WhileABoxIsUp::WhileABoxIsUp(std::function<bool()> user) {
  user_timer = std::make_unique<QTimer>();
  QObject::connect(user_timer.get(), &QTimer::timeout, [user = std::move(user)] {
    if (box_up() && !user()) user_timer->stop();
  });
  user_timer->start(150);
}
WhileABoxIsUp::~WhileABoxIsUp() { user_timer.reset(); }

bool box_up() { return the_box() != nullptr; }
std::string box_text() { return the_box() != nullptr ? the_box()->text().toStdString() : std::string(); }
void move_box_aside() {
  // Nothing to do: input goes to the window's own platform window, which
  // the box cannot cover.
}
void answer_box(MsgResult button) {
  if (QMessageBox* box = the_box()) box->button(button_of(button))->click();
}

}  // namespace qor::test

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
