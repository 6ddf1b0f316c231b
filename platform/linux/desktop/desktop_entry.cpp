#include "platform/linux/desktop/desktop_entry.hpp"

namespace qor {

std::string escape_string_value(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  if (!out.empty() && out.front() == ' ') out.replace(0, 1, "\\s");
  return out;
}

std::string exec_argument(const std::string& argument) {
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return escape_string_value(quoted);
}

std::string file_url(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const unsigned char c : path) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 0x0F];
    }
  }
  return url;
}

std::string desktop_entry_text(const std::string& name, const ShortcutProperties& properties) {
  if (properties.target.ends_with('/')) {
    // A folder is opened, not started: the desktop shows it in its file manager.
    return "[Desktop Entry]\n"
           "Type=Link\n"
           "Name=" +
           escape_string_value(name) + "\nURL=" + escape_string_value(file_url(properties.target)) +
           "\nIcon=" + escape_string_value(properties.icon_location) + "\n";
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" +
         escape_string_value(name) + "\nExec=" + exec_argument(properties.target) +
         "\nPath=" + escape_string_value(properties.working_directory) +
         "\nIcon=" + escape_string_value(properties.icon_location) + "\n";
}

}  // namespace qor
