#include "app/wire_steps.hpp"

#include <memory>
#include <utility>
#include <vector>

#include "ftp/ftp_steps.hpp"
#include "install/install_steps.hpp"
#include "platform/shell.hpp"
#include "release/release_steps.hpp"
#include "server/server_steps.hpp"
#include "window/keep_window_going.hpp"
#include "window/transfer_failures.hpp"

namespace qor {

Steps make_program_steps(QOR_sync_FRM& form, const std::string& update_server, const NetworkLimits& limits,
                         const std::optional<crypto::PublicKey>& release_key, MakeShell make_shell) {
  const UpdateServer server{update_server, limits.http};
  // Shared by the steps of one window: the release the run trusts.
  std::shared_ptr<release::SignedRelease> signed_release;
  if (release_key) {
    signed_release = std::make_shared<release::SignedRelease>();
    signed_release->key = *release_key;
    form.vouch_answer = [signed_release](ServerAnswer which, const std::vector<std::string>& answered) {
      return release::vouched_answer(*signed_release, which, answered);
    };
  } else {
    form.vouch_answer = nullptr;
  }
  Steps steps;
  steps.check_internet = [&form, server] {
    return check_internet(server.address, server.limits, keep_window_going(form.host()));
  };
  steps.connect_ftp = [&form, ftp = limits.ftp, signed_release] {
    connect_ftp(form.host(), ftp);
    if (signed_release && !form.host().closed()) release::fetch_release_manifest(form, *signed_release);
  };
  steps.load_captions = [&form, server] { load_captions(form, server); };
  steps.load_transfer_settings = [&form, server] { load_transfer_settings(form, server); };
  steps.list_new_packages = [&form, server] { list_new_packages(form, server); };
  steps.list_install_packages = [&form, server] { list_install_packages(form, server); };
  steps.list_update_packages = [&form, server] { list_update_packages(form, server); };
  steps.check_package_due = [&form] { check_package_due(form); };
  steps.download_packages = [&form, signed_release] {
    TransferFailures failures(form.host());
    download_packages(
        form,
        [&form, &failures, &signed_release](const std::string& file_name, const std::string& local_folder,
                                            const Placing& placing, PlacementRun& run) {
          if (!signed_release)
            return ftp_get_file(form.host(), *form.file_system, file_name, local_folder, placing, failures, run);
          const auto vouched = release::vouched_file(*signed_release, file_name);
          if (!vouched) {
            // Never fetched, never written: the release did not sign it.
            const Failure refused{signed_release->current ? "the signed release names no such file"
                                                          : "the release was refused"};
            report_failure("transfer of " + file_name, refused);
            failures.failed(file_name, refused.reason);
            return FetchOutcome::Failed;
          }
          return ftp_get_file(form.host(), *form.file_system, file_name, local_folder, placing, failures, run,
                              &*vouched);
        },
        failures);
  };
  // One shell object per finish action, released with it.
  steps.finish = [&form, signed_release, make_shell = std::move(make_shell)] {
    const auto shell = make_shell();
    if (!signed_release) return finish_action(form, *shell);
    finish_action(
        form, *shell,
        [&form, &signed_release](const std::string& path) {
          return release::matches_signed_release(*signed_release, *form.file_system, path);
        },
        release::unsigned_program_line(form.shared().mod.language));
  };
  return steps;
}

}  // namespace qor
