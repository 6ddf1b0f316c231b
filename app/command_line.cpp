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

bool asks_for_unattended(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(),
                     [](const std::string& arg) { return arg == "--unattended" || arg == "--check"; });
}

namespace {

// The value of `--name VALUE` or `--name=VALUE` at args[i] (i moves past
// it); none when args[i] is another option, or `error` set when the value
// is missing.
std::optional<std::string> option_value(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                                        const char* what, std::string& error) {
  const std::string& arg = args[i];
  if (arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
  if (arg != name) return std::nullopt;
  if (i + 1 >= args.size()) {
    error = name + " needs " + what;
    return std::nullopt;
  }
  return args[++i];
}

// What only a run without a window understands, and the language it must have.
bool check_unattended_options(const CommandLine& line, bool language_given, bool run_option_given, std::string& error) {
  if (!line.unattended) {
    if (language_given || run_option_given) {
      error = "--language, --no-start, --no-shortcut and --log belong to --unattended or --check";
      return false;
    }
    return true;
  }
  if (line.language.empty()) {
    error = "--unattended needs --language de or --language en";
    return false;
  }
  return true;
}

}  // namespace

std::optional<CommandLine> parse_command_line(const std::vector<std::string>& args, const std::string& default_server,
                                              std::string& error) {
  CommandLine line;
  line.update_server = default_server;
  bool language_given = false;
  bool run_option_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    error.clear();
    if (auto server = option_value(args, i, "--update-server", "HOST[:PORT]", error)) {
      if (!valid_server_address(*server)) {
        error = "not a server address: \"" + *server + "\" (expected HOST[:PORT])";
        return std::nullopt;
      }
      line.update_server = *server;
    } else if (auto language = option_value(args, i, "--language", "de or en", error)) {
      if (*language != "de" && *language != "en") {
        error = "not a language: \"" + *language + "\" (expected de or en)";
        return std::nullopt;
      }
      line.language = *language;
      language_given = true;
    } else if (auto log = option_value(args, i, "--log", "FILE", error)) {
      if (log->empty()) {
        error = "--log needs FILE";
        return std::nullopt;
      }
      line.log_file = *log;
      run_option_given = true;
    } else if (!error.empty()) {
      return std::nullopt;
    } else if (arg == "--unattended") {
      line.unattended = true;
    } else if (arg == "--check") {
      line.unattended = true;
      line.check = true;
    } else if (arg == "--no-start") {
      line.no_start = true;
      run_option_given = true;
    } else if (arg == "--no-shortcut") {
      line.no_shortcut = true;
      run_option_given = true;
    } else {
      error = "unknown argument: \"" + arg + "\"";
      return std::nullopt;
    }
  }
  // A check shows no captions: any language does for it.
  if (line.check && line.language.empty()) line.language = "de";
  if (!check_unattended_options(line, language_given, run_option_given, error)) return std::nullopt;
  return line;
}

std::string usage_text(const std::string& program, const std::string& default_server) {
  return "Usage: " + program +
         " [--update-server HOST[:PORT]]\n"
         "       " +
         program +
         " --unattended --language de|en [--no-start] [--no-shortcut] [--log FILE] [--update-server HOST[:PORT]]\n"
         "       " +
         program +
         " --check [--log FILE] [--update-server HOST[:PORT]]\n"
         "Brings the folder of this program up to date from the update server.\n\n"
         "  --update-server HOST[:PORT]  the update server to ask (default: " +
         default_server +
         ")\n"
         "  --unattended                 run every step without a window, one line per step and file\n"
         "  --language de|en             the language the unattended run chooses\n"
         "  --no-start                   do not start the main application at the end\n"
         "  --no-shortcut                do not write the desktop shortcut\n"
         "  --check                      tell what is due and change nothing\n"
         "  --log FILE                   append the lines to FILE as well\n"
         "  --help                       show this text and exit\n\n"
         "Exit codes without a window: 0 nothing due or everything done, 2 bad command line,\n"
         "3 update server not reachable, 4 FTP connection failed, 5 some files failed,\n"
         "6 signed release refused, 7 another instance runs in this folder, 10 --check found something due.\n";
}

}  // namespace qor
