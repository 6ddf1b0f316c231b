// The view first: it orders the model before <windows.h>.
#include "window/win32/form_view.hpp"

#include "window/win32/control_state.hpp"
#include "window/win32/window_classes.hpp"

namespace qor::win32 {
namespace {

LRESULT CALLBACK surface_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* state = reinterpret_cast<ControlState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (state == nullptr || state->view == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return state->view->on_message(*state, hwnd, message, wparam, lparam);
}

void register_class(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon) {
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = procedure;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
  cls.hIcon = icon;
  cls.lpszClassName = name;
  RegisterClassExW(&cls);  // fails harmlessly when the class exists already
}

}  // namespace

void register_window_classes(HINSTANCE instance) {
  // The program's own icon (resource 1) in the title bar, where the executable has one.
  const auto icon =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  register_class(instance, kOwnerClass, DefWindowProcW, icon);
  register_class(instance, kFormClass, surface_procedure, icon);
  register_class(instance, kPictureBoxClass, surface_procedure, nullptr);
}

}  // namespace qor::win32
