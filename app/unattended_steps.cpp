#include "app/unattended_steps.hpp"

#include <memory>
#include <utility>

#include "platform/shell.hpp"

namespace qor {
namespace {

// The desktop shell of one finish action, owned together with the run's
// view of it.
class OwnedUnattendedShell : public UnattendedShell {
 public:
  OwnedUnattendedShell(std::unique_ptr<Shell> desktop, RunLog& log, FinishChoices finish)
      : UnattendedShell(*desktop, log, finish), desktop_(std::move(desktop)) {}

 private:
  std::unique_ptr<Shell> desktop_;
};

}  // namespace

// The window's own finish action (with a keyed client's check of the main
// program), on a shell that tells each action as a line and leaves out what
// the administrator asked to leave out.
Steps make_unattended_steps(QOR_sync_FRM& form, const std::string& update_server, RunLog& log, FinishChoices finish,
                            const std::optional<crypto::PublicKey>& release_key, const NetworkLimits& limits) {
  return make_program_steps(form, update_server, limits, release_key, [&log, finish]() -> std::unique_ptr<Shell> {
    return std::make_unique<OwnedUnattendedShell>(make_desktop_shell(), log, finish);
  });
}

}  // namespace qor
