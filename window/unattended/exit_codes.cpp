#include "window/unattended/exit_codes.hpp"

namespace qor {

int exit_code(const RunFacts& facts) {
  if (facts.server_unreachable) return kExitServerUnreachable;
  if (facts.ftp_failed) return kExitFtpFailed;
  if (facts.release_refused) return kExitReleaseRefused;
  if (facts.files_failed > 0) return kExitFilesFailed;
  if (facts.something_due) return kExitDue;
  return kExitDone;
}

}  // namespace qor
