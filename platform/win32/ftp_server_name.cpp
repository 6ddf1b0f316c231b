#include "platform/win32/ftp_server_name.hpp"

#include <algorithm>

namespace qor::win32 {
namespace {

bool valid_host(const std::string& host) {
  return !host.empty() &&
         std::none_of(host.begin(), host.end(), [](unsigned char c) { return c <= ' ' || c == 0x7F || c == '/'; });
}

std::optional<unsigned> parse_port(const std::string& digits) {
  if (digits.empty() || digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  const unsigned port = static_cast<unsigned>(std::stoul(digits));
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

}  // namespace

std::optional<FtpServerName> parse_ftp_server(const std::string& server) {
  FtpServerName name;
  std::string rest;
  if (!server.empty() && server.front() == '[') {
    const auto close = server.find(']');
    if (close == std::string::npos) return std::nullopt;
    name.host = server.substr(1, close - 1);
    rest = server.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return std::nullopt;
  } else {
    const auto colon = server.find(':');
    name.host = server.substr(0, colon);
    if (colon != std::string::npos) rest = server.substr(colon);
  }
  if (!valid_host(name.host)) return std::nullopt;
  if (!rest.empty()) {
    const auto port = parse_port(rest.substr(1));
    if (!port) return std::nullopt;
    name.port = *port;
  }
  return name;
}

}  // namespace qor::win32
