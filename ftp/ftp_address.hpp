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

// A name that addresses a file in the login folder and nothing else: not
// empty, not "." or "..", no separator, no control character.
bool is_bare_file_name(const std::string& name);

}  // namespace qor
