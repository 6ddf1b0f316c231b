// Where the FTP server is: "host" (port 21) or "host:port", as the transfer
// settings deliver it.
#pragma once

#include <optional>
#include <string>

namespace qor {

// "ftp://host:port", or none when the text is no plain host name or address
// (empty, spaces, URL syntax such as "/", "@", "?"), which would otherwise
// let the settings steer the URL elsewhere.
std::optional<std::string> ftp_base_url(const std::string& server);

}  // namespace qor
