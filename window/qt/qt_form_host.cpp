#include "window/qt/qt_form_host.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMessageBox>

#include "window/shown_text.hpp"

namespace qor::qt {
namespace {

MsgResult answer_of(int answer, MsgButtons buttons) {
  switch (answer) {
    case QMessageBox::Retry:
      return MsgResult::Retry;
    case QMessageBox::Cancel:
      return MsgResult::Cancel;
    default:
      // Closing the box, or the window under it, counts as its only or its
      // cancelling button.
      return buttons == MsgButtons::RetryCancel ? MsgResult::Cancel : MsgResult::OK;
  }
}

// While a box is up over the window: the window's controls get no input,
// as under a modal box, and the box's wait ends when the window goes.
class BoxOverWindow : public QObject {
 public:
  BoxOverWindow(QWidget& window, QEventLoop& wait) : window_(&window), wait_(wait) {
    QCoreApplication::instance()->installEventFilter(this);
    connect(&window, &QObject::destroyed, &wait, &QEventLoop::quit);
  }
  ~BoxOverWindow() override { QCoreApplication::instance()->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Hide) {
      wait_.quit();
      return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget != nullptr && window_ && widget->window() == window_ && is_input(event->type());
  }

 private:
  static bool is_input(QEvent::Type type) {
    switch (type) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::ContextMenu:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
        return true;
      default:
        return false;
    }
  }

  QPointer<QWidget> window_;
  QEventLoop& wait_;
};

}  // namespace

MsgResult MessageBoxPresenter::present(const std::string& text, MsgButtons buttons, const std::string& caption) {
  QString body = QString::fromStdString(shown_text(text));
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const auto standard = buttons == MsgButtons::RetryCancel ? QMessageBox::Retry | QMessageBox::Cancel
                                                           : QMessageBox::StandardButtons(QMessageBox::Ok);
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), body, standard, parent_);
  // Texts may carry server data: never read them as markup.
  box.setTextFormat(Qt::PlainText);
  if (!parent_ || !parent_->isVisible()) return answer_of(box.exec(), buttons);

  // A modal box would block the window, and the toolkit then drops the
  // window manager's close for it: the user could not leave while a box is
  // up. So the box stays non-modal over the window, whose input is held
  // back meanwhile; closing the window ends the wait without an answer.
  box.setWindowModality(Qt::NonModal);
  QEventLoop wait;
  const BoxOverWindow hold(*parent_, wait);
  QObject::connect(&box, &QDialog::finished, &wait, &QEventLoop::quit);
  box.show();
  wait.exec();
  return answer_of(box.result(), buttons);
}

MsgResult QtFormHost::MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) {
  return presenter_.present(text, buttons, caption);
}

void QtFormHost::DoEvents() { QCoreApplication::processEvents(); }

void QtFormHost::Unload() {
  unloaded_ = true;
  if (window_) window_->close();
}

bool QtFormHost::closed() const { return unloaded_ || (has_window_ && (!window_ || window_->was_closed())); }

}  // namespace qor::qt
