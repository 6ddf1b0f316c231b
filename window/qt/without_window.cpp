// What the program needs of the toolkit without its window or instead of
// it, on Linux. Why the window does not open: the line on standard error
// for a terminal or a log, and a box for the user who started the program
// from the desktop.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QMessageBox>

#include "portable/app_title.hpp"
#include "window/form_toolkit.hpp"

namespace qor {

void show_refusal(int argc, char** argv, const std::string& text) {
  std::fputs((std::string(kApplicationTitle) + ": " + text + "\n").c_str(), stderr);
  std::fflush(stderr);
  // Without a display the toolkit would end the program before its exit
  // code: the line is all there can be.
  const auto set = [](const char* name) { return std::getenv(name) != nullptr && *std::getenv(name) != '\0'; };
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) return;
  QApplication app(argc, argv);
  QString body = QString::fromStdString(text);
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kApplicationTitle), body, QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool connect_standard_streams() { return true; }

std::vector<std::string> program_arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

}  // namespace qor
