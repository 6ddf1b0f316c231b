// What only the Qt binding has, on real widgets (offscreen): the widgets'
// own texts, fonts and pixmaps, how a list catches up, and how Qt pairs
// presses into double clicks. What both toolkits do is tested once, against
// each, in tests/window/contract/.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>

#include "tests/window/contract/contract_fixture.hpp"
#include "tests/window/contract/qt_glue.hpp"
#include "window/qt/pictures.hpp"

namespace qor::test {
namespace {

// The contract suite's window, reached through its widgets.
class Binding : public ToolkitContract {
 protected:
  QWidget& w(const Control& control) { return *native(*view).widget(control); }
  // A point of a control's widget, in window coordinates; its centre by default.
  QPoint at(const Control& control, QPoint local = {-1, -1}) {
    QWidget& widget = w(control);
    return widget.mapTo(&native(*view).window(), local.x() < 0 ? widget.rect().center() : local);
  }
  void move(QPoint p) { QTest::mouseMove(native(*view).window().windowHandle(), p); }
};

TEST_F(Binding, TheLanguagePanelsTitleFontTextsAndPixmaps) {
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
}

// Captions may carry server data: Qt would read a caption that looks like
// markup as rich text.
TEST_F(Binding, ACaptionIsShownAsPlainText) {
  form.Label3(0).Caption = "<b>Ordner anlegen</b>";
  EXPECT_EQ(static_cast<QLabel&>(w(form.Label3(0))).text(), "<b>Ordner anlegen</b>");
  EXPECT_EQ(static_cast<QLabel&>(w(form.Label3(0))).textFormat(), Qt::PlainText);
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

// Qt pairs a press with the one just before it, which may have gone to a
// widget without Click events; the button's own press, further back than a
// double click, then makes no pair with the double-click event.
TEST_F(Binding, ADoubleClickEventAfterAnOldPressOnTheButtonIsAClick) {
  show_package_panel();
  int box_clicks = 0;
  count_calls(form.Picture3(1).on_click, box_clicks);
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
  EXPECT_EQ(box_clicks, 2);
}

// The hovered flag shows the active picture itself, the plain one once the
// pointer leaves; a hovered caption's widget takes the bold font.
TEST_F(Binding, HoverShowsTheFlagsOwnPixmapsAndABoldCaptionFont) {
  const QImage de_active = qt::picture_pixmap({"lang_de_a"}).toImage();
  const QImage de_plain = qt::picture_pixmap({"lang_de_p"}).toImage();
  const auto shown = [this](const Control& c) { return static_cast<QLabel&>(w(c)).pixmap().toImage(); };
  move(at(form.Image1(0)));
  EXPECT_EQ(shown(form.Image1(0)), de_active);
  move(at(form.Picture1(9), {5, 5}));
  EXPECT_EQ(shown(form.Image1(0)), de_plain);

  show_package_panel();
  move(at(form.Label3(1)));
  EXPECT_TRUE(w(form.Label3(1)).font().bold());
  move(at(form.Picture3(1), {4, 4}));
  EXPECT_TRUE(w(form.Label3(1)).font().bold());
  move(at(form.Picture1(1), {5, 5}));
  EXPECT_FALSE(w(form.Label3(1)).font().bold());
}

}  // namespace
}  // namespace qor::test
