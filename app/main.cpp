// QOR_sync_PRO: brings the folder it stands in up to date from the update
// server, in its window or, for administrators, without one.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/unattended_steps.hpp"
#include "app/wire_steps.hpp"
#include "platform/file_system.hpp"
#include "platform/instance_lock.hpp"
#include "portable/app_title.hpp"
#include "portable/release/release_key.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/form_toolkit.hpp"
#include "window/unattended/exit_codes.hpp"
#include "window/unattended/run_log.hpp"
#include "window/unattended/run_unattended.hpp"

#ifdef _WIN32
#include "platform/win32/running_executable.hpp"
#endif

#ifndef QOR_UPDATE_SERVER
#define QOR_UPDATE_SERVER "localhost"
#endif
#ifndef QOR_RELEASE_KEY
#define QOR_RELEASE_KEY ""
#endif

namespace {

constexpr const char* kAlreadyRunning =
    "QOR_sync_PRO läuft bereits in diesem Ordner / QOR_sync_PRO is already running in this folder:";

// The folder's lock, taken before anything reads or writes the folder and
// held until the program ends; none where the system refused it for another
// reason than a second client (the run goes on as it did without one).
struct FolderLock {
  std::unique_ptr<qor::InstanceLock> held;
  bool taken_by_another = false;
};

FolderLock lock_folder(const std::string& folder) {
  auto lock = qor::lock_program_folder(folder);
  if (lock) return {std::move(*lock), false};
  if (lock.failure().code == qor::kFolderLocked) return {nullptr, true};
  qor::report_failure("program folder lock", lock.failure());
  return {};
}

int run_without_window(const std::vector<std::string>& args, const std::optional<qor::crypto::PublicKey>& release_key) {
  const bool has_console = qor::connect_standard_streams();
  std::string error;
  const auto line = qor::parse_command_line(args, QOR_UPDATE_SERVER, error);
  if (!line) {
    std::fputs(("QOR_sync_PRO: " + error + "\n" + qor::usage_text("QOR_sync_PRO", QOR_UPDATE_SERVER)).c_str(), stderr);
    return qor::kExitBadCommandLine;
  }
  qor::RunLog log(has_console ? stdout : nullptr, line->log_file);
  if (!log.ready()) {
    std::fputs(("QOR_sync_PRO: cannot write the log file " + line->log_file + "\n").c_str(), stderr);
    return qor::kExitBadCommandLine;
  }
  const std::string folder = qor::running_program_folder();
  const FolderLock lock = lock_folder(folder);
  if (lock.taken_by_another) {
    log.line(std::string(kAlreadyRunning) + " " + folder);
    log.line("result: exit 7 (another instance runs in this program folder)");
    return qor::kExitAlreadyRunning;
  }
#ifdef _WIN32
  // What an update of this very program set aside last time goes now.
  if (!line->check) qor::remove_set_aside_executable();
#endif
  qor::UnattendedOptions options;
  options.language = line->language;
  options.check = line->check;
  options.update_server = line->update_server;
  const qor::FinishChoices finish{!line->no_shortcut, !line->no_start};
  return qor::run_unattended(folder, options, log, qor::make_local_file_system, [&](qor::QOR_sync_FRM& form) {
    form.steps = qor::make_unattended_steps(form, line->update_server, log, finish, release_key);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = qor::program_arguments(argc, argv);
  // Help needs no display: answer it before the toolkit opens one; without
  // the window it is lines only, as no box may wait there.
  if (qor::asks_for_help(args)) {
    const std::string usage = qor::usage_text("QOR_sync_PRO", QOR_UPDATE_SERVER);
    if (!qor::asks_for_unattended(args)) {
      qor::show_usage_text(usage, false);
    } else if (qor::connect_standard_streams()) {
      std::fputs(usage.c_str(), stdout);
    }
    return 0;
  }
  // The vendor's key the program was built with, if any. A key that cannot
  // be read must not leave a client that trusts everything: it runs nothing.
  std::optional<qor::crypto::PublicKey> release_key;
  if (const std::string key_text = QOR_RELEASE_KEY; !key_text.empty()) {
    auto key = qor::release::read_public_key_text(key_text);
    if (!key) {
      const std::string reason = "QOR_sync_PRO: the release key it was built with: " + key.failure().reason;
      if (!qor::asks_for_unattended(args)) {
        qor::show_usage_text(reason, true);
      } else if (qor::connect_standard_streams()) {
        std::fputs((reason + "\n").c_str(), stderr);
      }
      return 1;
    }
    release_key = *key;
  }
  if (qor::asks_for_unattended(args)) return run_without_window(args, release_key);

  const FolderLock lock = lock_folder(qor::running_program_folder());
  if (lock.taken_by_another) {
    qor::show_refusal(argc, argv, std::string(kAlreadyRunning) + "\r\n" + qor::running_program_folder());
    return qor::kExitAlreadyRunning;
  }
  return qor::run_form_window(
      argc, argv, qor::make_local_file_system,
      [&release_key](qor::QOR_sync_FRM& form, const std::vector<std::string>& arguments) {
        std::string error;
        const auto line = qor::parse_command_line(arguments, QOR_UPDATE_SERVER, error);
        if (!line) {
          qor::show_usage_text("QOR_sync_PRO: " + error + "\n" + qor::usage_text("QOR_sync_PRO", QOR_UPDATE_SERVER),
                               true);
          return false;
        }
        form.steps = qor::make_program_steps(form, line->update_server, {}, release_key);
        return true;
      });
}
