// The Qt binding on real widgets (offscreen): what it draws, and that mouse
// events and timer ticks reach the handler the window wires for them.
#include <memory>

#include <gtest/gtest.h>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include "portable/app_title.hpp"
#include "tests/support/files.hpp"
#include "tests/support/recording_host.hpp"
#include "tests/support/step_recorder.hpp"
#include "tests/support/timer_drain.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/qt/form_view.hpp"
#include "window/qt/pictures.hpp"
#include "window/qt/qt_form_host.hpp"

namespace qor {
namespace {

using Calls = std::vector<std::string>;
using qt::FormView;

class Binding : public ::testing::Test {
 protected:
  Binding() {
    shared_variables() = SharedVariables{};
    view = std::make_unique<FormView>(form);
    view->load_and_show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&view->window()));
  }
  ~Binding() override {
    view.reset();
    shared_variables() = SharedVariables{};
  }

  QWidget& w(const Control& control) { return *view->widget(control); }
  // A point of a control's widget, in window coordinates; its centre by default.
  QPoint at(const Control& control, QPoint local = {-1, -1}) {
    QWidget& widget = w(control);
    return widget.mapTo(&view->window(), local.x() < 0 ? widget.rect().center() : local);
  }
  QWindow* handle() { return view->window().windowHandle(); }
  void move(QPoint p) { QTest::mouseMove(handle(), p); }
  void click(QPoint p) { QTest::mouseClick(handle(), Qt::LeftButton, {}, p); }
  // The package panel in install mode, as list_install_packages leaves it.
  void show_package_panel() {
    form.Picture1(9).Visible = false;
    form.Picture3(2).Visible = false;
    form.Picture1(1).Visible = true;
  }
  // Counts calls of a control's handler, then runs it.
  static void count_handler(std::function<void()>& handler, int& counter) {
    handler = [original = handler, &counter] {
      ++counter;
      if (original) original();
    };
  }

  test::TempDir dir;
  test::RecordingHost host;
  QOR_sync_FRM form{{&host, make_local_file_system, dir.path()}};
  test::StepRecorder steps{form.steps};
  std::unique_ptr<FormView> view;
};

TEST_F(Binding, DrawsTheLanguagePanelAtItsFixedSize) {
  QWidget& window = view->window();
  EXPECT_EQ(window.windowTitle(), "QOR synchro center");
  EXPECT_EQ(window.size(), QSize(555, 529));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_FALSE(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(window.windowFlags() & Qt::WindowCloseButtonHint);

  // The first layout pass ran with the real client size.
  EXPECT_EQ(form.Form.ScaleWidth, 8325);
  EXPECT_EQ(form.Form.ScaleHeight, 7935);
  EXPECT_GE(form.Form.Width.get(), 8325);
  EXPECT_EQ(w(form.Picture1(9)).geometry(), QRect(0, 0, 555, 529));
  // 3387 x 3967.5 twips: rounded only when drawn.
  EXPECT_EQ(w(form.Image1(0)).geometry(), QRect(226, 265, 47, 31));
  EXPECT_EQ(w(form.Image2).size(), QSize(32, 33));
  const QPixmap logo = static_cast<QLabel&>(w(form.Image2)).pixmap();
  ASSERT_FALSE(logo.isNull());
  EXPECT_TRUE(logo.hasAlphaChannel());
  for (const char* asset : {"lang_de_p", "lang_en_p", "lang_de_a", "lang_en_a"}) {
    EXPECT_EQ(qt::picture_pixmap({asset}).size(), QSize(47, 31)) << asset;
  }

  auto& title = static_cast<QLabel&>(w(form.Label7(5)));
  EXPECT_EQ(title.text(), "QOR synchro center");
  EXPECT_TRUE(title.font().bold());
  EXPECT_DOUBLE_EQ(title.font().pointSizeF(), 15.75);
  EXPECT_EQ(static_cast<QLabel&>(w(form.Label7(6))).text(), "Sprache wählen / Choose language");
  EXPECT_TRUE(title.isVisible());
  EXPECT_FALSE(w(form.Label7(7)).isVisible());
  EXPECT_FALSE(w(form.Picture30).isVisible());
  EXPECT_FALSE(w(form.List1).isVisible());
  EXPECT_FALSE(w(form.Command1).isVisible());
  EXPECT_GE(w(form.Label1(0)).x(), 555);  // shown, but out of view
  EXPECT_GT(static_cast<QFrame&>(w(form.Picture3(0))).frameWidth(), 0);

  // Stacking on the window: Picture1(0) above Picture1(9) above Picture1(10).
  const QObjectList& order = window.children();
  EXPECT_GT(order.indexOf(&w(form.Picture1(0))), order.indexOf(&w(form.Picture1(9))));
  EXPECT_GT(order.indexOf(&w(form.Picture1(9))), order.indexOf(&w(form.Picture1(10))));
}

TEST_F(Binding, ModelChangesAreRedrawn) {
  form.Label3(0).Caption = "<b>Ordner anlegen</b>";
  EXPECT_EQ(static_cast<QLabel&>(w(form.Label3(0))).text(), "<b>Ordner anlegen</b>");
  EXPECT_EQ(static_cast<QLabel&>(w(form.Label3(0))).textFormat(), Qt::PlainText);
  form.Picture30.BackColor = 0x00FF0000;  // blue in 0x00BBGGRR
  EXPECT_EQ(w(form.Picture30).palette().color(QPalette::Window), QColor(0, 0, 255));
  form.List2.AddItem("PkgA");
  form.List2.AddItem("PkgB");
  QCoreApplication::processEvents();
  EXPECT_EQ(static_cast<QListWidget&>(w(form.List2)).count(), 2);
  form.List2.Clear();
  QCoreApplication::processEvents();
  EXPECT_EQ(static_cast<QListWidget&>(w(form.List2)).count(), 0);
}

// Captions of megabytes from the server: the window shows their start, cut
// between characters, instead of laying out millions of characters; the
// model keeps what the program assigned.
TEST_F(Binding, AVeryLongCaptionShowsOnlyItsStart) {
  std::string caption;
  while (caption.size() < (std::size_t{4} << 20)) caption += "Grüße aus Köln ";
  form.Label6(0).Caption = caption;
  form.Label3(1).Caption = caption;
  for (const Control* control : {static_cast<Control*>(&form.Label6(0)), static_cast<Control*>(&form.Label3(1))}) {
    const QString shown = static_cast<QLabel&>(w(*control)).text();
    EXPECT_GE(shown.size(), 1000);
    EXPECT_LE(shown.size(), 4001);
    EXPECT_TRUE(shown.endsWith(QString::fromUtf8("\u2026"))) << control->display_name();
    EXPECT_TRUE(QString::fromStdString(caption).startsWith(shown.chopped(1))) << control->display_name();
  }
  EXPECT_EQ(form.Label6(0).Caption.get(), caption);
}

// A step that fills a list of thousands of records must not redraw the
// whole list for each one: the view catches up once, when the step yields.
TEST_F(Binding, AListFilledByAStepIsDrawnOnceWhenTheStepYields) {
  auto& list = static_cast<QListWidget&>(w(form.List1));
  int inserts = 0, resets = 0;
  const QObject counting;  // ends the counting with the test, before the view goes
  QObject::connect(list.model(), &QAbstractItemModel::rowsInserted, &counting, [&inserts] { ++inserts; });
  QObject::connect(list.model(), &QAbstractItemModel::modelReset, &counting, [&resets] { ++resets; });
  form.List1.AddItem("left over");
  form.List1.Clear();
  for (int i = 0; i < 3000; ++i) form.List1.AddItem("id=" + std::to_string(i));
  QCoreApplication::processEvents();
  ASSERT_EQ(list.count(), 3000);
  EXPECT_EQ(list.item(2999)->text(), "id=2999");
  EXPECT_LE(inserts + resets, 2);
}

TEST_F(Binding, FlagClicksReachTheLanguageChoice) {
  steps.then(&Steps::load_captions, [this] {
    form.Picture30.Visible = true;
    form.Picture1(9).Visible = false;
  });
  steps.online = false;
  click(at(form.Image1(1)));
  EXPECT_EQ(shared_variables().mod.language, "en");
  EXPECT_TRUE(w(form.Label7(7)).isVisible());
  steps.online = true;
  click(at(form.Image1(0)));
  EXPECT_EQ(shared_variables().mod.language, "de");
  EXPECT_FALSE(w(form.Picture1(9)).isVisible());
  EXPECT_TRUE(w(form.Picture30).isVisible());
  EXPECT_EQ(steps.calls, (Calls{"check_internet", "check_internet", "load_captions"}));
}

TEST_F(Binding, PanelButtonClicksReachTheCaptionOrTheBox) {
  show_package_panel();
  int label_clicks = 0, box_clicks = 0;
  count_handler(form.Label3(1).on_click, label_clicks);
  count_handler(form.Picture3(1).on_click, box_clicks);

  click(at(form.Label3(1)));
  EXPECT_EQ(label_clicks, 1);
  EXPECT_EQ(box_clicks, 0);
  EXPECT_TRUE(form.Timer4.Enabled);

  click(at(form.Picture3(1), {4, 4}));  // inside the box, above its caption
  EXPECT_EQ(label_clicks, 1);
  EXPECT_EQ(box_clicks, 1);
  EXPECT_EQ(steps.count("download_packages"), 2);

  // A press on one control and a release over another is no click.
  QTest::mousePress(handle(), Qt::LeftButton, {}, at(form.Label3(1)));
  QTest::mouseRelease(handle(), Qt::LeftButton, {}, at(form.List3));
  EXPECT_EQ(label_clicks + box_clicks, 2);
}

// The next panel's button stands where the last one stood: a user who clicks
// twice at that spot within the double-click time clicks both buttons.
TEST_F(Binding, AQuickSecondClickReachesTheButtonThatTookTheFirstOnesPlace) {
  steps.then(&Steps::list_new_packages, [this] {
    form.List2.AddItem("Bilder");
    form.Picture1(0).Visible = true;
  });
  steps.then(&Steps::list_install_packages, [this] {
    form.List3.AddItem("a.exe");
    form.Picture3(1).Visible = true;
    form.Picture3(2).Visible = false;
    form.Picture1(1).Visible = true;
  });
  form.Picture1(9).Visible = false;
  form.Timer2.Tick();  // the folder panel
  // The install list comes up before the second press arrives.
  form.Picture3(0).on_click = [this, folder = form.Picture3(0).on_click] {
    folder();
    test::run_timers(form);
  };
  const QPoint spot = at(form.Picture3(0), {4, 4});
  QTest::mouseDClick(handle(), Qt::LeftButton, {}, spot);
  EXPECT_FALSE(w(form.Picture1(0)).isVisible());
  ASSERT_EQ(view->window().childAt(spot), &w(form.Picture3(1)));
  EXPECT_EQ(steps.calls, (Calls{"list_new_packages", "list_install_packages", "download_packages"}));
}

TEST_F(Binding, ADoubleClickOnOneButtonIsOneClick) {
  show_package_panel();
  int box_clicks = 0, label_clicks = 0;
  count_handler(form.Picture3(1).on_click, box_clicks);
  count_handler(form.Label3(1).on_click, label_clicks);
  QTest::mouseDClick(handle(), Qt::LeftButton, {}, at(form.Picture3(1), {4, 4}));
  QTest::mouseDClick(handle(), Qt::LeftButton, {}, at(form.Label3(1)));
  EXPECT_EQ(box_clicks, 1);
  EXPECT_EQ(label_clicks, 1);
  EXPECT_EQ(steps.count("download_packages"), 2);

  // Qt pairs a press with the one just before it, which may have gone to a
  // widget without Click events; the button's own press, further back than
  // a double click, then makes no pair with it.
  QWidget& box = w(form.Picture3(1));
  const auto send = [&box](QEvent::Type type, quint64 time) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(4, 4), box.mapToGlobal(QPointF(4, 4)), Qt::LeftButton, held, {});
    event.setTimestamp(time);
    QApplication::sendEvent(&box, &event);
  };
  const auto interval = static_cast<quint64>(QApplication::doubleClickInterval());
  send(QEvent::MouseButtonPress, 1000);
  send(QEvent::MouseButtonRelease, 1000);
  send(QEvent::MouseButtonDblClick, 1000 + interval + 1);
  send(QEvent::MouseButtonRelease, 1000 + interval + 1);
  EXPECT_EQ(box_clicks, 3);
}

TEST_F(Binding, ListClickReachesTheList) {
  show_package_panel();
  form.List3.AddItem("a.exe");
  QCoreApplication::processEvents();
  int list_clicks = 0;
  count_handler(form.List3.on_click, list_clicks);
  auto& list = static_cast<QListWidget&>(w(form.List3));
  const QPoint item = list.viewport()->mapTo(&view->window(), list.visualItemRect(list.item(0)).center());
  click(item);
  EXPECT_EQ(list_clicks, 1);
  EXPECT_EQ(list.currentRow(), 0);
}

TEST_F(Binding, HoverOnFlagsAndButtons) {
  const QImage de_active = qt::picture_pixmap({"lang_de_a"}).toImage();
  const QImage de_plain = qt::picture_pixmap({"lang_de_p"}).toImage();
  const auto shown = [this](const Control& c) { return static_cast<QLabel&>(w(c)).pixmap().toImage(); };
  int picture_assignments = 0;
  struct Forward : ControlObserver {
    ControlObserver& next;
    int& pictures;
    Forward(ControlObserver& n, int& p) : next(n), pictures(p) {}
    void changed(Control& c, Aspect a) override {
      if (a == Aspect::Picture) ++pictures;
      next.changed(c, a);
    }
  } forward(*view, picture_assignments);
  form.Image1(0).set_observer(&forward);

  move(at(form.Image1(0)));
  move(at(form.Image1(0), {3, 3}));
  move(at(form.Image1(0), {40, 25}));
  EXPECT_EQ(shown(form.Image1(0)), de_active);
  EXPECT_EQ(picture_assignments, 1);

  // Moves over the title or the logo are theirs, not the panel's.
  move(at(form.Label7(5)));
  move(at(form.Image2));
  EXPECT_EQ(shown(form.Image1(0)), de_active);

  move(at(form.Picture1(9), {5, 5}));
  EXPECT_EQ(shown(form.Image1(0)), de_plain);
  EXPECT_EQ(picture_assignments, 2);

  show_package_panel();
  move(at(form.Label3(1)));
  EXPECT_TRUE(w(form.Label3(1)).font().bold());
  move(at(form.Picture3(1), {4, 4}));
  EXPECT_TRUE(w(form.Label3(1)).font().bold());
  EXPECT_EQ(form.hover_label, &form.Label3(1));
  move(at(form.Picture1(1), {5, 5}));
  EXPECT_FALSE(w(form.Label3(1)).font().bold());
}

// The chain goes on by the timers the steps enable, each after its interval.
TEST_F(Binding, ATimerEnabledTwiceStartsItsStepOnce) {
  steps.then(&Steps::list_new_packages, [this] { form.Timer3.Enabled = true; });
  steps.then(&Steps::list_install_packages, [this] { form.Timer4.Enabled = true; });
  steps.then(&Steps::list_update_packages, [this] { form.Picture1(2).Visible = true; });
  form.Timer2.Enabled = true;
  form.Timer2.Enabled = true;
  EXPECT_TRUE(QTest::qWaitFor([this] { return steps.count("list_update_packages") > 0; }, 5000));
  QTest::qWait(300);  // time for a second tick, were there one
  EXPECT_EQ(steps.count("list_new_packages"), 1);
  EXPECT_EQ(steps.count("list_install_packages"), 1);
  EXPECT_EQ(steps.count("list_update_packages"), 1);
  EXPECT_FALSE(form.Timer2.Enabled);
  EXPECT_FALSE(view->timer(form.Timer2)->isActive());
  EXPECT_TRUE(w(form.Picture1(2)).isVisibleTo(&view->window()));
}

TEST_F(Binding, AnErrorEscapingAHandlerIsReportedNotThrownThroughQt) {
  form.steps.check_internet = []() -> bool { throw std::runtime_error("probe broke"); };
  click(at(form.Image1(0)));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("probe broke"), std::string::npos);
  EXPECT_EQ(host.messages[0].caption, kApplicationTitle);
  EXPECT_TRUE(view->window().isVisible());
}

struct SilentPresenter : MessagePresenter {
  MsgResult present(const std::string&, MsgButtons, const std::string&) override { return MsgResult::OK; }
};

TEST_F(Binding, UnloadClosesTheWindowAndTheHostSaysSo) {
  SilentPresenter presenter;
  qt::QtFormHost qt_host(presenter);
  qt_host.set_window(&view->window());
  EXPECT_FALSE(qt_host.closed());
  int closed = 0;
  view->window().on_closed = [&closed] { ++closed; };
  qt_host.Unload();
  EXPECT_FALSE(view->window().isVisible());
  EXPECT_EQ(closed, 1);
  EXPECT_TRUE(qt_host.closed());
}

// The close button asks the platform window to close, as the window manager
// does; the host tells the steps, and nothing is shown or run after it.
TEST(QtHost, TheCloseButtonWhileAStepYieldsEndsTheRunAndTheChain) {
  shared_variables() = SharedVariables{};
  test::TempDir dir;
  SilentPresenter presenter;
  qt::QtFormHost host(presenter);
  EXPECT_FALSE(host.closed());  // no window yet
  QOR_sync_FRM form{{&host, make_local_file_system, dir.path()}};
  test::StepRecorder steps{form.steps};
  qt::FormView view(form);
  host.set_window(&view.window());
  view.load_and_show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view.window()));
  int yields = 0;
  steps.then(&Steps::download_packages, [&] {
    QTimer::singleShot(100, [&view] { view.window().windowHandle()->close(); });
    for (; !host.closed() && yields < 2000; ++yields) {
      host.DoEvents();
      QThread::msleep(5);
    }
  });
  form.Label3(1).Click();  // the install run; the update list would follow
  EXPECT_TRUE(host.closed());
  EXPECT_LT(yields, 2000);
  EXPECT_FALSE(view.window().isVisible());
  form.Timer4.Tick();
  EXPECT_EQ(steps.calls, Calls{"download_packages"});
  shared_variables() = SharedVariables{};
}

// Answers the message box that opens next with the given button.
void answer_next_box(QMessageBox::StandardButton button, QString& title, QString& text, int& buttons) {
  QTimer::singleShot(0, [=, &title, &text, &buttons] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    title = box->windowTitle();
    text = box->text();
    buttons = static_cast<int>(box->buttons().size());
    box->button(button)->click();
  });
}

TEST(MessageBoxes, CaptionTextAndButtons) {
  qt::MessageBoxPresenter presenter;
  QString title, text;
  int buttons = 0;
  answer_next_box(QMessageBox::Retry, title, text, buttons);
  EXPECT_EQ(presenter.present("Line 1\r\nLine 2", MsgButtons::RetryCancel, kApplicationTitle), MsgResult::Retry);
  EXPECT_EQ(title, kApplicationTitle);
  EXPECT_EQ(text, "Line 1\nLine 2");
  EXPECT_EQ(buttons, 2);

  answer_next_box(QMessageBox::Ok, title, text, buttons);
  EXPECT_EQ(presenter.present("Übertragunsfehler", MsgButtons::OK, kApplicationTitle), MsgResult::OK);
  EXPECT_EQ(text, "Übertragunsfehler");
  EXPECT_EQ(buttons, 1);
}

TEST(MessageBoxes, AVeryLongTextShowsOnlyItsStart) {
  qt::MessageBoxPresenter presenter;
  QString title, text;
  int buttons = 0;
  const std::string path = "/opt/app/" + std::string(std::size_t{1} << 20, 'x');
  answer_next_box(QMessageBox::Ok, title, text, buttons);
  EXPECT_EQ(presenter.present("Hauptprogramm nicht gefunden:\r\n" + path, MsgButtons::OK, kApplicationTitle),
            MsgResult::OK);
  EXPECT_LE(text.size(), 4001);
  EXPECT_TRUE(text.startsWith("Hauptprogramm nicht gefunden:\n/opt/app/xxx"));
  EXPECT_TRUE(text.endsWith(QString::fromUtf8("\u2026")));
}

// The box that is up over the program's window, if any.
QMessageBox* box_up() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) return box;
  return nullptr;
}

// A box over the window must not block it: the toolkit drops the window
// manager's close for a window a modal box blocks. The window's controls
// still get no clicks while the box is up; closing the window ends the box
// without an answer, and an answered box still says which button.
TEST_F(Binding, ABoxOverTheWindowLeavesItsCloseButtonWorkingButItsControlsQuiet) {
  show_package_panel();
  int clicks = 0;
  count_handler(form.Label3(1).on_click, clicks);
  qt::MessageBoxPresenter presenter;
  presenter.set_parent(&view->window());

  bool blocked = true;
  QString text;
  QTimer::singleShot(0, [&] {
    QMessageBox* box = box_up();
    if (box == nullptr) return;
    text = box->text();
    blocked = QGuiApplication::modalWindow() != nullptr || QApplication::activeModalWidget() != nullptr;
    click(at(form.Label3(1)));
    QTest::keyClick(&view->window(), Qt::Key_Space);
    box->button(QMessageBox::Retry)->click();
  });
  EXPECT_EQ(presenter.present("Frage", MsgButtons::RetryCancel, kApplicationTitle), MsgResult::Retry);
  EXPECT_EQ(text, "Frage");
  EXPECT_FALSE(blocked);
  EXPECT_EQ(clicks, 0);
  click(at(form.Label3(1)));
  EXPECT_EQ(clicks, 1) << "the window's input comes back with the box gone";

  bool box_shown = false;
  QTimer::singleShot(0, [&] {
    box_shown = box_up() != nullptr;
    handle()->close();  // as the window manager's close
  });
  EXPECT_EQ(presenter.present("Übertragunsfehler", MsgButtons::OK, kApplicationTitle), MsgResult::OK);
  EXPECT_TRUE(box_shown);
  EXPECT_FALSE(view->window().isVisible());
  EXPECT_EQ(box_up(), nullptr);
}

}  // namespace
}  // namespace qor

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
