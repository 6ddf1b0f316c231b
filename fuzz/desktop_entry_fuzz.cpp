// Desktop-entry quoting: a program path of any bytes must come back whole
// when the Exec value is read the way the Desktop Entry Specification says
// (string escapes first, then the quoted argument, then the field codes),
// and no path may break a line of the entry.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.hpp"
#include "platform/linux/desktop/desktop_entry.hpp"

namespace {

using qor::fuzz::check;

// \s \n \t \r \\ of string values; any other escape is malformed.
std::optional<std::string> unescape_string(std::string_view v) {
  std::string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\') {
      out += v[i];
      continue;
    }
    if (++i == v.size()) return std::nullopt;
    switch (v[i]) {
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
      case '\\':
        out += '\\';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

// One double-quoted argument: inside it "\" escapes only " ` $ \; then
// "%%" is a literal "%" and any other "%" code is not a path.
std::optional<std::string> unquote_exec(std::string_view v) {
  if (v.size() < 2 || v.front() != '"' || v.back() != '"') return std::nullopt;
  v = v.substr(1, v.size() - 2);
  std::string arg;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '"') return std::nullopt;  // the quote would end early
    if (v[i] == '\\') {
      if (++i == v.size()) return std::nullopt;
      const char c = v[i];
      if (c != '"' && c != '`' && c != '$' && c != '\\') return std::nullopt;
    }
    arg += v[i];
  }
  std::string path;
  for (std::size_t i = 0; i < arg.size(); ++i) {
    if (arg[i] == '%') {
      if (++i == arg.size() || arg[i] != '%') return std::nullopt;
    }
    path += arg[i];
  }
  return path;
}

// The path of a "file://" URL whose other bytes are percent-encoded.
std::optional<std::string> path_of_file_url(std::string_view url) {
  if (!url.starts_with("file://")) return std::nullopt;
  std::string path;
  for (std::size_t i = 7; i < url.size(); ++i) {
    if (url[i] != '%') {
      path += url[i];
      continue;
    }
    if (i + 2 >= url.size()) return std::nullopt;
    const std::string hex(url.substr(i + 1, 2));
    if (hex.find_first_not_of("0123456789ABCDEF") != std::string::npos) return std::nullopt;
    path += static_cast<char>(std::stoi(hex, nullptr, 16));
    i += 2;
  }
  return path;
}

std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    lines.push_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // A path holds no NUL (the file system ends a name there); the rest of
  // the bytes, invalid UTF-8 included, are fair game.
  if (input.find('\0') != std::string_view::npos) return 0;
  const auto cut = input.find('\x01');
  const std::string target(input.substr(0, cut));
  const std::string folder(cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1));

  const std::string value = qor::escape_string_value(folder);
  check(value.find_first_of("\n\r") == std::string::npos, "a string value holds no line break");
  check(value.empty() || value.front() != ' ', "a string value keeps its leading space");
  check(unescape_string(value) == folder, "a string value reads back as the text");

  const std::string exec = qor::exec_argument(target);
  check(exec.find_first_of("\n\r") == std::string::npos, "an Exec argument holds no line break");
  const auto quoted = unescape_string(exec);
  check(quoted.has_value(), "an Exec argument is a well-formed string value");
  check(unquote_exec(*quoted) == target, "the Exec argument reads back as the path");

  const std::string entry = qor::desktop_entry_text("QOR_software_PRO", {target, folder + "/QOR_Icons.dll", folder});
  const auto lines = lines_of(entry);
  if (target.ends_with('/')) {
    // A folder is opened by a link entry, not started.
    check(lines.size() == 5, "no path adds a line to the folder's entry");
    check(lines[0] == "[Desktop Entry]" && lines[1] == "Type=Link" && lines[3].starts_with("URL=") &&
              lines[4].starts_with("Icon="),
          "every key of the folder's entry keeps its own line");
    const auto url = unescape_string(lines[3].substr(4));
    check(url.has_value() && path_of_file_url(*url) == target, "the entry opens the folder");
    return 0;
  }
  check(lines.size() == 6, "no path adds a line to the entry");
  check(lines[0] == "[Desktop Entry]" && lines[3].starts_with("Exec=") && lines[4].starts_with("Path=") &&
            lines[5].starts_with("Icon="),
        "every key keeps its own line");
  check(unquote_exec(*unescape_string(lines[3].substr(5))) == target, "the entry starts the path");
  check(unescape_string(lines[4].substr(5)) == folder, "the entry starts in the folder");
  return 0;
}
