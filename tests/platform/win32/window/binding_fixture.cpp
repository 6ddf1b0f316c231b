#include "binding_fixture.hpp"

namespace qor::test {
namespace {

void send_mouse(POINT screen, DWORD flags) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  // Absolute coordinates run from 0 to 65535 across the primary screen.
  input.mi.dx = static_cast<LONG>((screen.x * 65535LL + width / 2) / (width - 1));
  input.mi.dy = static_cast<LONG>((screen.y * 65535LL + height / 2) / (height - 1));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
  SendInput(1, &input, sizeof input);
  pump(40);
}

}  // namespace

void pump(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(end - now) <= 0) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
  }
}

void move_to(POINT screen) { send_mouse(screen, 0); }

COLORREF screen_pixel(POINT screen) {
  const win32::WindowDc dc(nullptr);
  return GetPixel(dc.get(), screen.x, screen.y);
}

void count_calls(std::function<void()>& handler, int& counter) {
  handler = [original = handler, &counter] {
    ++counter;
    if (original) original();
  };
}

Binding::Binding() {
  // The pointer starts outside the window: nothing is highlighted at first.
  move_to({0, 0});
  shared_variables() = SharedVariables{};
  view = std::make_unique<win32::FormView>(form);
  view->load_and_show();
  pump(300);
}

Binding::~Binding() {
  view.reset();
  pump(50);
  shared_variables() = SharedVariables{};
}

RECT Binding::screen_area(const Control& control) const {
  RECT r{};
  if (const HWND hwnd = view->handle(control)) {
    GetWindowRect(hwnd, &r);
    return r;
  }
  r = view->area(control);
  const Control* container = control.container();
  const HWND surface = container->type() == ControlType::Form ? view->window() : view->handle(*container);
  MapWindowPoints(surface, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

POINT Binding::at(const Control& control, POINT local) const {
  const RECT r = screen_area(control);
  if (local.x < 0) return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  return {r.left + local.x, r.top + local.y};
}

void Binding::show_package_panel() {
  form.Picture1(9).Visible = false;
  form.Picture3(2).Visible = false;
  form.Picture1(1).Visible = true;
  pump(100);
}

}  // namespace qor::test
