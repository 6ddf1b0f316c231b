#include "app/command_line.hpp"

#include <algorithm>
#include <cctype>

namespace qor {
namespace {

bool valid_port(const std::string& port) {
  if (port.empty() || port.size() > 5) return false;
  if (!std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) return false;
  const int value = std::stoi(port);
  return value >= 1 && value <= 65535;
}

bool valid_host_name(const std::string& host) {
  if (host.empty() || host.size() > 253) return false;
  return std::all_of(host.begin(), host.end(),
                     [](unsigned char c) { return std::isalnum(c) != 0 || c == '.' || c == '-' || c == '_'; });
}

bool valid_ipv6(const std::string& inner) {
  if (inner.empty()) return false;
  return std::all_of(inner.begin(), inner.end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0 || c == ':' || c == '.'; });
}

}  // namespace

bool valid_server_address(const std::string& address) {
  std::string host = address;
  std::string port;
  if (!address.empty() && address.front() == '[') {
    const auto close = address.find(']');
    if (close == std::string::npos || !valid_ipv6(address.substr(1, close - 1))) return false;
    const std::string rest = address.substr(close + 1);
    if (rest.empty()) return true;
    return rest.front() == ':' && valid_port(rest.substr(1));
  }
  const auto colon = address.find(':');
  if (colon != std::string::npos) {
    host = address.substr(0, colon);
    port = address.substr(colon + 1);
    if (!valid_port(port)) return false;
  }
  return valid_host_name(host);
}

bool asks_for_help(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(), [](const std::string& arg) { return arg == "--help" || arg == "-h"; });
}

std::optional<CommandLine> parse_command_line(const std::vector<std::string>& args, const std::string& default_server,
                                              std::string& error) {
  CommandLine line;
  line.update_server = default_server;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--update-server" || arg.rfind("--update-server=", 0) == 0) {
      std::string value;
      if (arg == "--update-server") {
        if (i + 1 >= args.size()) {
          error = "--update-server needs HOST[:PORT]";
          return std::nullopt;
        }
        value = args[++i];
      } else {
        value = arg.substr(std::string("--update-server=").size());
      }
      if (!valid_server_address(value)) {
        error = "not a server address: \"" + value + "\" (expected HOST[:PORT])";
        return std::nullopt;
      }
      line.update_server = value;
    } else {
      error = "unknown argument: \"" + arg + "\"";
      return std::nullopt;
    }
  }
  return line;
}

std::string usage_text(const std::string& program, const std::string& default_server) {
  return "Usage: " + program +
         " [--update-server HOST[:PORT]]\n"
         "Brings the folder of this program up to date from the update server.\n\n"
         "  --update-server HOST[:PORT]  the update server to ask (default: " +
         default_server +
         ")\n"
         "  --help                       show this text and exit\n";
}

}  // namespace qor
