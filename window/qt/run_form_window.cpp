// The window on Qt Widgets: QApplication, the view of the control model, and
// message boxes over the window.
#include <QApplication>

#include "window/QOR_sync_FRM.hpp"
#include "window/form_toolkit.hpp"
#include "window/qt/form_view.hpp"
#include "window/qt/qt_form_host.hpp"

namespace qor {

int run_form_window(int argc, char** argv, const MakeFileSystem& make_file_system, const WireWindow& wire) {
  QApplication app(argc, argv);  // takes its own arguments (-platform, ...) out of argv
  qt::MessageBoxPresenter presenter;
  qt::QtFormHost host(presenter);
  FormServices services;
  services.host = &host;
  services.make_file_system = make_file_system;
  services.executable_folder = QCoreApplication::applicationDirPath().toStdString();
  QOR_sync_FRM form(services);
  if (!wire(form, {argv + 1, argv + argc})) return 2;

  qt::FormView view(form);
  presenter.set_parent(&view.window());
  host.set_window(&view.window());
  view.window().on_closed = [] { QCoreApplication::quit(); };
  view.load_and_show();
  return QApplication::exec();
}

}  // namespace qor
