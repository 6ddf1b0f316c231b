// The window toolkit of this platform: it creates the one window with its
// host and the program's folder, shows it and runs until it is closed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "window/QOR_sync_FRM.hpp"

namespace qor {

// `wire` gets the window and the program's arguments (without those the
// toolkit takes for itself) and puts the step procedures in; when it returns
// false the program ends with exit code 2 before the window shows. The
// window opens the program's folder with make_file_system. The result is the
// program's exit code.
using WireWindow = std::function<bool(QOR_sync_FRM& form, const std::vector<std::string>& arguments)>;
int run_form_window(int argc, char** argv, const MakeFileSystem& make_file_system, const WireWindow& wire);

// Text the user must see before the window exists, or instead of it: the
// usage text --help asks for, or why the command line was refused
// (is_error). It needs no window and no display. A program with a console
// prints it (standard output, standard error for an error); a GUI program
// started from a shortcut or the file manager has none, so there it is a
// message box with the program's title, and the lines of the console it
// was started from, where there is one, as well.
void show_usage_text(const std::string& text, bool is_error);

// Why the window does not open (another client works in this folder): a
// box with the program's title that the user closes, and the same text on
// standard error (on Windows the console the program was started from).
void show_refusal(int argc, char** argv, const std::string& text);

// Standard output and standard error lead to the console the program was
// started from, where the program has none of its own (a GUI program on
// Windows); streams that lead somewhere stay as they are. True when
// standard output leads somewhere now.
bool connect_standard_streams();

// The program's arguments as the user typed them, in UTF-8 (Windows hands
// argv over in the system's code page only).
std::vector<std::string> program_arguments(int argc, char** argv);

}  // namespace qor
