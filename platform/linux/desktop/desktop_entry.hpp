// The text of a desktop entry that starts a program, the platform's form of
// a desktop shortcut.
#pragma once

#include <string>

#include "platform/shell.hpp"

namespace qor {

// An entry named `name` that starts the target from the working directory
// with the icon of the properties; a target ending in "/" is a folder, which
// the entry opens.
std::string desktop_entry_text(const std::string& name, const ShortcutProperties& properties);

// "file://" and the path, each byte but letters, digits and "/-_.~"
// percent-encoded.
std::string file_url(const std::string& path);

// A string value: backslash and control characters escaped so that no
// path can break the line or start a key of its own.
std::string escape_string_value(const std::string& text);

// One argument of Exec: double-quoted with `"`, `` ` ``, `$`, `\` escaped,
// "%" doubled (field codes), then escaped as a string value.
std::string exec_argument(const std::string& argument);

}  // namespace qor
