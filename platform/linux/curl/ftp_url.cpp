#include "platform/linux/curl/ftp_url.hpp"

#include <algorithm>
#include <cctype>

namespace qor {

namespace {

bool host_char(unsigned char c) { return std::isalnum(c) || c == '.' || c == '-' || c == '_' || c >= 0x80; }

bool valid_port(const std::string& digits) {
  if (digits.empty() || digits.size() > 5) return false;
  if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); })) return false;
  const long port = std::stol(digits);
  return port >= 1 && port <= 65535;
}

}  // namespace

std::optional<std::string> ftp_base_url(const std::string& server) {
  std::string host = server;
  std::string port = "21";
  if (!host.empty() && host.front() == '[') {
    // An IPv6 literal keeps its brackets in the URL.
    const auto close = host.find(']');
    if (close == std::string::npos) return std::nullopt;
    const std::string inside = host.substr(1, close - 1);
    if (inside.empty() || !std::all_of(inside.begin(), inside.end(),
                                       [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; }))
      return std::nullopt;
    const std::string rest = host.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
    }
    host.resize(close + 1);
  } else {
    const auto colon = host.find(':');
    if (colon != std::string::npos) {
      port = host.substr(colon + 1);
      host.resize(colon);
    }
    if (host.empty() || !std::all_of(host.begin(), host.end(), [](unsigned char c) { return host_char(c); }))
      return std::nullopt;
  }
  if (!valid_port(port)) return std::nullopt;
  return "ftp://" + host + ":" + port;
}

}  // namespace qor
