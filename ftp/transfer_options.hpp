// Time limits of the file-transfer layer.
#pragma once

namespace qor {

struct TransferOptions {
  long connect_timeout_s = 15;
  // A transfer slower than one byte per second for this long, or a server
  // that leaves a command unanswered this long, is given up.
  long stall_time_s = 30;
};

}  // namespace qor
