// Beyond the contract, for the tests of what only the Win32 toolkit has:
// the view under a ToolkitView, the message loop, and the screen.
#pragma once

#include "tests/window/contract/toolkit_glue.hpp"
#include "window/win32/form_view.hpp"  // the model before <windows.h>

namespace qor::test {

win32::FormView& native(ToolkitView& view);
// Lets the thread's windows handle what is pending for `ms` milliseconds.
void pump_messages(int ms);
// A spot of a control on the screen.
POINT screen_point(ToolkitView& view, const Control& control, Spot spot = {});
// The colour the screen shows there.
COLORREF screen_pixel(POINT screen);

}  // namespace qor::test
