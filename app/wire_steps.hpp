// The real step procedures of the server, FTP and installation subsystems,
// put where the window calls them by name.
#pragma once

#include <string>

#include "QOR_sync_FRM.hpp"

namespace qor {

// `update_server` is "host" or "host:port". A subsystem not built into this
// program leaves its steps unset (an unset step does nothing).
Steps make_program_steps(QOR_sync_FRM& form, const std::string& update_server);

}  // namespace qor
