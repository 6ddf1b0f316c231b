#include "desktop_entry.hpp"

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

std::string desktop_entry_text(const std::string& name, const ShortcutProperties& properties) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" +
         escape_string_value(name) + "\nExec=" + exec_argument(properties.target) +
         "\nPath=" + escape_string_value(properties.working_directory) +
         "\nIcon=" + escape_string_value(properties.icon_location) + "\n";
}

}  // namespace qor
