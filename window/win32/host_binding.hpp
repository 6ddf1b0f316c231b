// The host and the view of the one window, bound together as the program
// runs them: message boxes over the window, Unload destroys it, DoEvents
// moves the focus on Tab, and once the window is gone (closed by the user
// or unloaded) the host says so and the message loop is told to end.
#pragma once

#include "window/win32/form_view.hpp"  // the model before <windows.h>
#include "window/win32/win32_form_host.hpp"

namespace qor::win32 {

void bind_host(FormView& view, Win32FormHost& host, MessageBoxPresenter& presenter);

}  // namespace qor::win32
