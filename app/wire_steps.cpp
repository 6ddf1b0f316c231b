#include "wire_steps.hpp"

#if QOR_HAVE_SERVER
#include "server_steps.hpp"
#endif
#if QOR_HAVE_FTP
#include "QOR_sync_ftp_MOD.hpp"
#endif
#if QOR_HAVE_INSTALL
#include "install_steps.hpp"
#include "shell.hpp"
#endif

namespace qor {

Steps make_program_steps([[maybe_unused]] QOR_sync_FRM& form, [[maybe_unused]] const std::string& update_server) {
  Steps steps;
#if QOR_HAVE_FTP
  steps.check_internet = [update_server] { return check_internet(update_server); };
  steps.connect_ftp = [&form] { connect_ftp(form); };
#endif
#if QOR_HAVE_SERVER
  steps.load_captions = [&form, update_server] { load_captions(form, update_server); };
  steps.load_transfer_settings = [&form, update_server] { load_transfer_settings(form, update_server); };
  steps.list_new_packages = [&form, update_server] { list_new_packages(form, update_server); };
  steps.list_install_packages = [&form, update_server] { list_install_packages(form, update_server); };
  steps.list_update_packages = [&form, update_server] { list_update_packages(form, update_server); };
#endif
#if QOR_HAVE_INSTALL
  steps.check_package_due = [&form] { check_package_due(form); };
#if QOR_HAVE_FTP
  steps.download_packages = [&form] {
    download_packages(form, [&form](const std::string& file_name, const std::string& local_folder) {
      return ftp_get_file(form, file_name, local_folder);
    });
  };
#endif
  // One shell object per finish action, released with it.
  steps.finish = [&form] {
    const auto shell = make_desktop_shell();
    finish_action(form, *shell);
  };
#endif
  return steps;
}

}  // namespace qor
