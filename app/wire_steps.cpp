#include "app/wire_steps.hpp"

#include "ftp/ftp_steps.hpp"
#include "install/install_steps.hpp"
#include "platform/shell.hpp"
#include "server/server_steps.hpp"
#include "window/keep_window_going.hpp"
#include "window/transfer_failures.hpp"

namespace qor {

Steps make_program_steps(QOR_sync_FRM& form, const std::string& update_server, const NetworkLimits& limits) {
  const UpdateServer server{update_server, limits.http};
  Steps steps;
  steps.check_internet = [&form, server] {
    return check_internet(server.address, server.limits, keep_window_going(form.host()));
  };
  steps.connect_ftp = [&form, ftp = limits.ftp] { connect_ftp(form.host(), ftp); };
  steps.load_captions = [&form, server] { load_captions(form, server); };
  steps.load_transfer_settings = [&form, server] { load_transfer_settings(form, server); };
  steps.list_new_packages = [&form, server] { list_new_packages(form, server); };
  steps.list_install_packages = [&form, server] { list_install_packages(form, server); };
  steps.list_update_packages = [&form, server] { list_update_packages(form, server); };
  steps.check_package_due = [&form] { check_package_due(form); };
  steps.download_packages = [&form] {
    TransferFailures failures(form.host());
    download_packages(
        form,
        [&form, &failures](const std::string& file_name, const std::string& local_folder, const Placing& placing,
                           PlacementRun& run) {
          return ftp_get_file(form.host(), *form.file_system, file_name, local_folder, placing, failures, run);
        },
        failures);
  };
  // One shell object per finish action, released with it.
  steps.finish = [&form] {
    const auto shell = make_desktop_shell();
    finish_action(form, *shell);
  };
  return steps;
}

}  // namespace qor
