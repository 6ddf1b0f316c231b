// The program's command line: `--update-server HOST[:PORT]`, `--help`, and
// the unattended run's options (`--unattended --language de|en`,
// `--check`, `--no-start`, `--no-shortcut`, `--log FILE`).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qor {

struct CommandLine {
  std::string update_server;  // "host" or "host:port"
  // The run without a window: --unattended, or --check, which is one.
  bool unattended = false;
  bool check = false;        // tell what is due, change nothing
  std::string language;      // "de" or "en"; --check without it takes "de"
  bool no_start = false;     // the main application is not started
  bool no_shortcut = false;  // no desktop shortcut
  std::string log_file;      // lines appended there too; empty for none
};

// True when the arguments ask for a run without a window (--unattended or
// --check): such a run must never wait on a message box, also not for a
// refused command line.
bool asks_for_unattended(const std::vector<std::string>& args);

// True when the arguments ask for the usage text (--help, -h); answered
// before the window toolkit starts, so it needs no display.
bool asks_for_help(const std::vector<std::string>& args);

// The parsed line, or none with `error` set. Arguments Qt itself takes
// (-platform, -style, ...) must be removed before.
std::optional<CommandLine> parse_command_line(const std::vector<std::string>& args, const std::string& default_server,
                                              std::string& error);

// True for "host" or "host:port" (port 1..65535), host a name, an IPv4
// address or a bracketed IPv6 address. The value is pasted into URLs, so
// nothing else is allowed.
bool valid_server_address(const std::string& address);

std::string usage_text(const std::string& program, const std::string& default_server);

}  // namespace qor
