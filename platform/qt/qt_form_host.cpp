#include "qt_form_host.hpp"

#include <QCoreApplication>
#include <QMessageBox>

#include "shown_text.hpp"

namespace qor::qt {

MsgResult MessageBoxPresenter::present(const std::string& text, MsgButtons buttons, const std::string& caption) {
  QString body = QString::fromStdString(shown_text(text));
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const auto standard = buttons == MsgButtons::RetryCancel ? QMessageBox::Retry | QMessageBox::Cancel
                                                           : QMessageBox::StandardButtons(QMessageBox::Ok);
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), body, standard, parent_);
  // Texts may carry server data: never read them as markup.
  box.setTextFormat(Qt::PlainText);
  switch (box.exec()) {
    case QMessageBox::Retry:
      return MsgResult::Retry;
    case QMessageBox::Cancel:
      return MsgResult::Cancel;
    default:
      // Closing the box counts as its only or its cancelling button.
      return buttons == MsgButtons::RetryCancel ? MsgResult::Cancel : MsgResult::OK;
  }
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
