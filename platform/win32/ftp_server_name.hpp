// Where the FTP server is: "host" (the FTP port) or "host:port", as the
// transfer settings deliver it; an IPv6 address in brackets.
#pragma once

#include <optional>
#include <string>

namespace qor::win32 {

struct FtpServerName {
  std::string host;
  unsigned port = 0;  // 0: the FTP port
};

// None when the text names no host (empty, blanks or control characters
// in it, a port that is not 1-65535).
std::optional<FtpServerName> parse_ftp_server(const std::string& server);

}  // namespace qor::win32
