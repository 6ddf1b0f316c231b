// The real step procedures of the server, FTP and installation subsystems,
// put where the window calls them by name.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ftp_transfer.hpp"
#include "platform/http_fetch.hpp"
#include "platform/shell.hpp"
#include "portable/release/crypto_values.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {

// How long the client waits for the network; tests shorten them.
struct NetworkLimits {
  FetchLimits http;
  TransferLimits ftp;
};

// `update_server` is "host" or "host:port". With `release_key` (the
// vendor's public key the program was built with) the run trusts only what
// the vendor's signed release says; without, the answers and files as they
// come.
// `make_shell` gives the finish action its desktop shell (tests: a double).
using MakeShell = std::function<std::unique_ptr<Shell>()>;
Steps make_program_steps(QOR_sync_FRM& form, const std::string& update_server, const NetworkLimits& limits = {},
                         const std::optional<crypto::PublicKey>& release_key = std::nullopt,
                         MakeShell make_shell = make_desktop_shell);

}  // namespace qor
