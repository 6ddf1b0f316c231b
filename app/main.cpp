// QOR_sync_PRO: brings the folder it stands in up to date from the update
// server.
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/wire_steps.hpp"
#include "platform/file_system.hpp"
#include "portable/release/release_key.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/form_toolkit.hpp"

#ifndef QOR_UPDATE_SERVER
#define QOR_UPDATE_SERVER "localhost"
#endif
#ifndef QOR_RELEASE_KEY
#define QOR_RELEASE_KEY ""
#endif

int main(int argc, char** argv) {
  // Help needs no display: answer it before the toolkit opens one.
  if (qor::asks_for_help({argv + 1, argv + argc})) {
    qor::show_usage_text(qor::usage_text("QOR_sync_PRO", QOR_UPDATE_SERVER), false);
    return 0;
  }
  // The vendor's key the program was built with, if any. A key that cannot
  // be read must not leave a client that trusts everything: it runs nothing.
  std::optional<qor::crypto::PublicKey> release_key;
  if (const std::string key_text = QOR_RELEASE_KEY; !key_text.empty()) {
    auto key = qor::release::read_public_key_text(key_text);
    if (!key) {
      qor::show_usage_text("QOR_sync_PRO: the release key it was built with: " + key.failure().reason, true);
      return 1;
    }
    release_key = *key;
  }
  return qor::run_form_window(
      argc, argv, qor::make_local_file_system,
      [&release_key](qor::QOR_sync_FRM& form, const std::vector<std::string>& args) {
        std::string error;
        const auto line = qor::parse_command_line(args, QOR_UPDATE_SERVER, error);
        if (!line) {
          qor::show_usage_text("QOR_sync_PRO: " + error + "\n" + qor::usage_text("QOR_sync_PRO", QOR_UPDATE_SERVER),
                               true);
          return false;
        }
        form.steps = qor::make_program_steps(form, line->update_server, {}, release_key);
        return true;
      });
}
