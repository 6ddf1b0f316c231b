// The window toolkit of this platform: it creates the one window with its
// host and the program's folder, shows it and runs until it is closed.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qor {

class QOR_sync_FRM;

// `wire` gets the window and the program's arguments (without those the
// toolkit takes for itself) and puts the step procedures in; when it returns
// false the program ends with exit code 2 before the window shows. The
// result is the program's exit code.
using WireWindow = std::function<bool(QOR_sync_FRM& form, const std::vector<std::string>& arguments)>;
int run_form_window(int argc, char** argv, const WireWindow& wire);

}  // namespace qor
