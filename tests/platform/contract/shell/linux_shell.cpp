// The shell suite on a Linux desktop: a temporary home folder, the XDG
// user-dirs file, desktop entries read as desktops read them, a shell script
// as the program.
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/platform/contract/shell/platform_shell.hpp"
#include "tests/support/files.hpp"
#include "tests/support/scoped_env.hpp"

namespace qor::test {

namespace fs = std::filesystem;

struct ShellSession::State {
  TempDir home;
  ScopedEnv home_env{"HOME", home.path()};
  ScopedEnv config_env{"XDG_CONFIG_HOME", std::nullopt};
  ScopedEnv data_env{"XDG_DATA_HOME", std::nullopt};
};

ShellSession::ShellSession() : state_(std::make_unique<State>()) { fs::create_directories(state_->home / "Desktop"); }

ShellSession::~ShellSession() = default;

bool ShellSession::name_desktop(const std::string& folder) {
  fs::create_directories(state_->home / ".config");
  write_file(state_->home / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + folder + "\"\n");
  return true;
}

std::string shell_path(const std::string& path) { return path; }

fs::path native(const std::string& path) { return path; }

std::string shortcut_file_name(const std::string& name) { return name + ".desktop"; }

namespace {

// A string value of a desktop entry, its escapes undone.
std::string unescaped(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        out += value[i];
    }
  }
  return out;
}

// The program of an Exec line: one argument, quoted or not, "%%" a percent sign.
std::string exec_program(const std::string& exec) {
  std::string out;
  const bool quoted = !exec.empty() && exec.front() == '"';
  for (std::size_t i = quoted ? 1 : 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted && c == '"') break;
    if (!quoted && c == ' ') break;
    // A backslash inside quotes, and the first of "%%", stand for the
    // character after them.
    const bool escape = (quoted && c == '\\') || (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%');
    out += escape && i + 1 < exec.size() ? exec[++i] : c;
  }
  return out;
}

std::string from_file_url(const std::string& url) {
  std::string path;
  const std::string body = url.starts_with("file://") ? url.substr(7) : url;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '%' && i + 2 < body.size()) {
      path += static_cast<char>(std::stoi(body.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      path += body[i];
    }
  }
  return path;
}

}  // namespace

ShortcutContent read_shortcut(const std::string& path) {
  ShortcutContent content;
  std::istringstream lines(read_file(path));
  for (std::string line; std::getline(lines, line);) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = unescaped(line.substr(equals + 1));
    if (key == "Exec") content.target = exec_program(value);
    if (key == "URL") content.target = from_file_url(value);
    if (key == "Path") content.working_folder = value;
    if (key == "Icon") content.icon = value;
  }
  return content;
}

bool is_menu_folder(const std::string& folder) {
  return folder == std::string(std::getenv("HOME")) + "/.local/share/applications";
}

FolderAside::FolderAside(std::string folder) : folder_(std::move(folder)) {
  std::error_code error;
  fs::rename(folder_, folder_ + ".away", error);
  moved_ = !error;
}

FolderAside::~FolderAside() {
  if (!moved_) return;
  std::error_code error;
  fs::remove_all(folder_, error);
  fs::rename(folder_ + ".away", folder_, error);
}

std::string noting_program(const std::string& path_without_extension) {
  const std::string& program = path_without_extension;
  write_file(program,
             "#!/bin/sh\nprintf 'folder=%s\\n' \"$PWD\" > \"$0.note.tmp\" && mv \"$0.note.tmp\" \"$0.note\"\n");
  fs::permissions(program, fs::perms(0755));
  return program;
}

// Desktops here have no "maximized" start.
std::optional<std::string> maximized_note_line() { return std::nullopt; }

// QProcess tells that a start failed, not why.
std::optional<long> missing_program_code() { return std::nullopt; }

}  // namespace qor::test
