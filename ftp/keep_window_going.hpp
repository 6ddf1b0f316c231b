// While an FTP operation runs, the window handles its events between the
// pieces of the transfer, so it repaints and answers; a window the user
// closes meanwhile ends the operation.
#pragma once

#include "ftp_transfer.hpp"

namespace qor {

class FormHost;

KeepGoing keep_window_going(FormHost& host);

}  // namespace qor
