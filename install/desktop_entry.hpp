// The text of a desktop entry that starts a program, the platform's form of
// a desktop shortcut.
#pragma once

#include <string>

namespace qor {

inline constexpr const char* kShortcutName = "QOR_software_PRO";
inline constexpr const char* kIconFile = "QOR_Icons.dll";

// `target` is started from `folder`, with `folder`/QOR_Icons.dll as icon.
std::string desktop_entry_text(const std::string& target, const std::string& folder);

// A string value: backslash and control characters escaped so that no
// path can break the line or start a key of its own.
std::string escape_string_value(const std::string& text);

// One argument of Exec: double-quoted with `"`, `` ` ``, `$`, `\` escaped,
// "%" doubled (field codes), then escaped as a string value.
std::string exec_argument(const std::string& argument);

}  // namespace qor
