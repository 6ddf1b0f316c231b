// While a network operation waits on a server, the window handles its
// events between the operation's looks at it, so it repaints and answers; a
// window the user closes meanwhile ends the operation.
#pragma once

#include "platform/keep_going.hpp"

namespace qor {

class FormHost;

KeepGoing keep_window_going(FormHost& host);

}  // namespace qor
