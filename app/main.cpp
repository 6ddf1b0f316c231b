// QOR_sync_PRO: the update client's window on Qt.
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>

#include "QOR_sync_FRM.hpp"
#include "command_line.hpp"
#include "form_view.hpp"
#include "qt_form_host.hpp"
#include "wire_steps.hpp"

#ifndef QOR_UPDATE_SERVER
#define QOR_UPDATE_SERVER "localhost"
#endif

int main(int argc, char** argv) {
  // Help needs no display: answer it before Qt opens one.
  if (qor::asks_for_help({argv + 1, argv + argc})) {
    std::fputs(qor::usage_text("QOR_sync_PRO", QOR_UPDATE_SERVER).c_str(), stdout);
    return 0;
  }
  QApplication app(argc, argv);  // takes its own arguments (-platform, ...) out of argv

  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto line = qor::parse_command_line(args, QOR_UPDATE_SERVER, error);
  if (!line) {
    std::fprintf(stderr, "QOR_sync_PRO: %s\n%s", error.c_str(),
                 qor::usage_text("QOR_sync_PRO", QOR_UPDATE_SERVER).c_str());
    return 2;
  }

  qor::qt::MessageBoxPresenter presenter;
  qor::qt::QtFormHost host(presenter);
  qor::FormServices services;
  services.host = &host;
  services.executable_folder = QCoreApplication::applicationDirPath().toStdString();
  qor::QOR_sync_FRM form(services);
  form.steps = qor::make_program_steps(form, line->update_server);

  qor::qt::FormView view(form);
  presenter.set_parent(&view.window());
  host.set_window(&view.window());
  view.window().on_closed = [] { QCoreApplication::quit(); };
  view.load_and_show();
  return QApplication::exec();
}
