// The window classes of the toolkit. The window and the picture boxes share
// one procedure: each is a surface with its own background on which its
// labels and images are drawn, and whose mouse events go to the control
// under the pointer. None asks for double-click messages: a fast second
// press arrives as a press of its own.
#pragma once

#include "platform/win32/windows_api.hpp"

namespace qor::win32 {

inline constexpr const wchar_t* kOwnerClass = L"QOR_sync_owner";
inline constexpr const wchar_t* kFormClass = L"QOR_sync_FRM";
inline constexpr const wchar_t* kPictureBoxClass = L"QOR_sync_PictureBox";

// Registers the classes once per process; later calls do nothing.
void register_window_classes(HINSTANCE instance);

}  // namespace qor::win32
