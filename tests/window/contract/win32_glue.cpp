// The contract suite's glue for Win32 (under Wine on Xvfb, or on Windows):
// real pointer input through SendInput, pixels read from the screen.
#include "tests/window/contract/win32_glue.hpp"  // the model before <windows.h>

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/win32/wide_text.hpp"
#include "window/win32/host_binding.hpp"
#include "window/win32/win32_form_host.hpp"
#include "window/win32/win32_handles.hpp"

namespace qor::test {

void pump_messages(int ms) {
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

COLORREF screen_pixel(POINT screen) {
  const win32::WindowDc dc(nullptr);
  return GetPixel(dc.get(), screen.x, screen.y);
}

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
  pump_messages(40);
}

Rgb rgb_of(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }

// Wide text as UTF-8, with "\r\n" read as "\n".
std::string shown(const std::wstring& text) {
  std::string out = win32::to_utf8(text);
  std::erase(out, '\r');
  return out;
}

}  // namespace

struct ToolkitView::Native {
  explicit Native(QOR_sync_FRM& form) : view(form) {}
  win32::FormView view;

  // The surface a control is drawn on: its container's window.
  HWND surface_of(const Control& control) const {
    const Control* container = control.container();
    return container->type() == ControlType::Form ? view.window() : view.handle(*container);
  }
  HWND handle(const Control& control) const {
    const HWND hwnd = view.handle(control);
    if (hwnd == nullptr) throw std::logic_error(control.display_name() + " has no window");
    return hwnd;
  }
  RECT screen_area(const Control& control) const {
    RECT r{};
    if (const HWND hwnd = view.handle(control)) {
      GetWindowRect(hwnd, &r);
      return r;
    }
    r = view.area(control);
    MapWindowPoints(surface_of(control), nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  POINT at(const Control& control, Spot spot) const {
    const RECT r = screen_area(control);
    if (spot.x < 0) return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    return {r.left + spot.x, r.top + spot.y};
  }
};

ToolkitView::ToolkitView(QOR_sync_FRM& form) {
  // The pointer starts outside the window: nothing is highlighted at first.
  send_mouse({0, 0}, 0);
  native_ = std::make_unique<Native>(form);
  native_->view.load_and_show();
  pump(300);
}

ToolkitView::~ToolkitView() {
  native_.reset();
  pump(50);
}

win32::FormView& native(ToolkitView& view) { return view.native().view; }
POINT screen_point(ToolkitView& view, const Control& control, Spot spot) { return view.native().at(control, spot); }

void ToolkitView::pump(int ms) { pump_messages(ms); }
bool ToolkitView::pump_until(const std::function<bool()>& done, int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (!done()) {
    if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
    pump_messages(20);
  }
  return true;
}
int ToolkitView::double_click_time() { return static_cast<int>(GetDoubleClickTime()); }
std::string ToolkitView::toolkit() { return "Win32"; }

std::string ToolkitView::title() const {
  wchar_t title[64] = {};
  GetWindowTextW(native_->view.window(), title, 64);
  return win32::to_utf8(title);
}
int ToolkitView::client_width() const {
  RECT client{};
  GetClientRect(native_->view.window(), &client);
  return client.right;
}
int ToolkitView::client_height() const {
  RECT client{};
  GetClientRect(native_->view.window(), &client);
  return client.bottom;
}
bool ToolkitView::fixed_size() const {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(native_->view.window(), GWL_STYLE));
  return (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) == 0;
}
bool ToolkitView::has_close_button() const {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(native_->view.window(), GWL_STYLE));
  return (style & (WS_CAPTION | WS_SYSMENU)) == static_cast<DWORD>(WS_CAPTION | WS_SYSMENU);
}
bool ToolkitView::window_shown() const {
  const HWND window = native_->view.window();
  return window != nullptr && IsWindow(window) && IsWindowVisible(window);
}
bool ToolkitView::takes_close() const {
  // A disabled window takes no close, from its close button or the window manager.
  const HWND window = native_->view.window();
  return window != nullptr && IsWindowEnabled(window);
}
void ToolkitView::close() { PostMessageW(native_->view.window(), WM_SYSCOMMAND, SC_CLOSE, 0); }
void ToolkitView::close_after(int ms) {
  SetTimer(native_->view.window(), 77, static_cast<UINT>(ms), [](HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
}
void ToolkitView::on_closed(std::function<void()> handler) {
  auto& slot = native_->view.on_closed;
  slot = [before = slot, handler = std::move(handler)] {
    if (before) before();
    handler();
  };
}
ControlObserver& ToolkitView::observer() { return native_->view; }

Area ToolkitView::area(const Control& control) const {
  RECT r{};
  if (const HWND hwnd = native_->view.handle(control)) {
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, native_->surface_of(control), reinterpret_cast<POINT*>(&r), 2);
  } else {
    r = native_->view.area(control);  // drawn on its container's surface
  }
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}
bool ToolkitView::shown(const Control& control) const { return IsWindowVisible(native_->handle(control)) != FALSE; }
bool ToolkitView::sunken(const Control& control) const {
  return (GetWindowLongPtrW(native_->handle(control), GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
}
int ToolkitView::stack_position(const Control& control) const {
  const HWND target = native_->handle(control);
  int position = 0;
  for (HWND child = GetWindow(native_->surface_of(control), GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT), ++position) {
    if (child == target) return position;
  }
  return -1;
}
std::vector<std::string> ToolkitView::list_items(const ListBox& list) const {
  const HWND hwnd = native_->handle(list);
  std::vector<std::string> items;
  const auto count = SendMessageW(hwnd, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring item(static_cast<std::size_t>(SendMessageW(hwnd, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
    item.resize(static_cast<std::size_t>(SendMessageW(hwnd, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
    items.push_back(win32::to_utf8(item));
  }
  return items;
}
int ToolkitView::list_selection(const ListBox& list) const {
  return static_cast<int>(SendMessageW(native_->handle(list), LB_GETCURSEL, 0, 0));
}
Spot ToolkitView::list_row(const ListBox& list, int row) const {
  const HWND hwnd = native_->handle(list);
  RECT item{};
  SendMessageW(hwnd, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&item), 2);
  const RECT outer = native_->screen_area(list);
  return {(item.left + item.right) / 2 - outer.left, (item.top + item.bottom) / 2 - outer.top};
}
bool ToolkitView::timer_running(const Timer& timer) const { return native_->view.timer_running(timer); }

Rgb ToolkitView::pixel(const Control& control, Spot spot) const {
  return rgb_of(screen_pixel(native_->at(control, spot)));
}
int ToolkitView::ink(const Control& control, Rgb background, int from_row, int to_row) const {
  const RECT box = native_->screen_area(control);
  if (to_row < 0) to_row = box.bottom - box.top;
  const win32::WindowDc dc(nullptr);
  int ink = 0;
  for (int y = box.top + from_row; y < box.top + to_row; ++y) {
    for (int x = box.left; x < box.right; ++x) {
      const Rgb c = rgb_of(GetPixel(dc.get(), x, y));
      const int distance = std::abs(c.r - background.r) + std::abs(c.g - background.g) + std::abs(c.b - background.b);
      ink += distance > 120 ? 1 : 0;
    }
  }
  return ink;
}

void ToolkitView::move_to(const Control& control, Spot spot) { send_mouse(native_->at(control, spot), 0); }
void ToolkitView::press(const Control& control, Spot spot) {
  send_mouse(native_->at(control, spot), MOUSEEVENTF_LEFTDOWN);
}
void ToolkitView::release(const Control& control, Spot spot) {
  send_mouse(native_->at(control, spot), MOUSEEVENTF_LEFTUP);
}
void ToolkitView::click(const Control& control, Spot spot) {
  press(control, spot);
  release(control, spot);
}
void ToolkitView::double_click(const Control& control, Spot spot) {
  click(control, spot);
  click(control, spot);
}
void ToolkitView::type_space() {
  const HWND window = native_->view.window();
  PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
  PostMessageW(window, WM_KEYUP, VK_SPACE, 0);
  pump_messages(40);
}

struct ToolkitHost::Native {
  win32::MessageBoxPresenter presenter;
  win32::Win32FormHost host{presenter};
};

ToolkitHost::ToolkitHost() : native_(std::make_unique<Native>()) {}
ToolkitHost::~ToolkitHost() = default;
FormHost& ToolkitHost::host() { return native_->host; }
void ToolkitHost::bind(ToolkitView& view) { win32::bind_host(view.native().view, native_->host, native_->presenter); }
bool ToolkitHost::loop_told_to_end() {
  MSG quit;
  return PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

namespace {

HWND the_box() { return FindWindowW(L"#32770", L"QOR_sync_PRO"); }

BOOL CALLBACK count_button(HWND child, LPARAM counter) {
  wchar_t cls[16] = {};
  GetClassNameW(child, cls, 16);
  if (lstrcmpiW(cls, L"Button") == 0 && IsWindowVisible(child)) ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

WPARAM command_of(MsgResult result) {
  switch (result) {
    case MsgResult::Retry:
      return IDRETRY;
    case MsgResult::Cancel:
      return IDCANCEL;
    default:
      return IDOK;
  }
}

// For the timer procedures only: a box's modal loop runs them.
SeenBox* next_seen = nullptr;
std::optional<MsgResult> next_button;
std::function<bool()> user_steps;

void CALLBACK answer(HWND, UINT, UINT_PTR id, DWORD) {
  const HWND box = the_box();
  if (box == nullptr) return;
  KillTimer(nullptr, id);
  wchar_t title[64] = {};
  GetWindowTextW(box, title, 64);
  *next_seen = {true, shown(title), box_text(), 0};
  EnumChildWindows(box, count_button, reinterpret_cast<LPARAM>(&next_seen->buttons));
  if (next_button)
    PostMessageW(box, WM_COMMAND, command_of(*next_button), 0);
  else
    PostMessageW(box, WM_CLOSE, 0, 0);
}

void CALLBACK user_tick(HWND, UINT, UINT_PTR id, DWORD) {
  if (user_steps && box_up() && !user_steps()) KillTimer(nullptr, id);
}

}  // namespace

void answer_next_box(SeenBox& seen, std::optional<MsgResult> button) {
  next_seen = &seen;
  next_button = button;
  SetTimer(nullptr, 0, 50, answer);
}

WhileABoxIsUp::WhileABoxIsUp(std::function<bool()> user) {
  user_steps = std::move(user);
  SetTimer(nullptr, 0, 150, user_tick);
}
WhileABoxIsUp::~WhileABoxIsUp() { user_steps = nullptr; }

bool box_up() { return the_box() != nullptr; }
std::string box_text() {
  const HWND text = GetDlgItem(the_box(), 0xFFFF);  // the box's static text
  std::wstring out(static_cast<std::size_t>(GetWindowTextLengthW(text)) + 1, L'\0');
  out.resize(static_cast<std::size_t>(GetWindowTextW(text, out.data(), static_cast<int>(out.size()))));
  return shown(out);
}
void move_box_aside() { SetWindowPos(the_box(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE); }
void answer_box(MsgResult button) { PostMessageW(the_box(), WM_COMMAND, command_of(button), 0); }

}  // namespace qor::test

// Picture decoding needs the thread's OLE apartment, as the program has it.
int main(int argc, char** argv) {
  const qor::win32::OleApartment ole;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
