#include "window/win32/form_view.hpp"

#include <algorithm>
#include <vector>

#include "platform/win32/wide_text.hpp"
#include "portable/app_title.hpp"
#include "window/shown_text.hpp"
#include "window/win32/window_classes.hpp"

namespace qor::win32 {
namespace {

// The design client area, in twips.
constexpr double kClientWidthTwips = 8325;
constexpr double kClientHeightTwips = 7935;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kFirstChildId = 100;

bool is_windowless(const Control& control) {
  return control.type() == ControlType::Label || control.type() == ControlType::Image;
}

bool is_surface(const Control& control) {
  return control.type() == ControlType::Form || control.type() == ControlType::PictureBox;
}

// A button caption is plain text: "&" would otherwise mark a mnemonic.
std::wstring plain_button_text(const std::string& text) {
  std::wstring out;
  for (wchar_t c : to_wide(text)) {
    out += c;
    if (c == L'&') out += L'&';
  }
  return out;
}

}  // namespace

FormView::FormView(QOR_sync_FRM& form) : FormView(form, ScreenUnits::of_screen()) {}

FormView::FormView(QOR_sync_FRM& form, ScreenUnits units)
    : form_(form), units_(units), fonts_(units), pictures_(units) {
  guard_.on_error = [this](const std::string& what) {
    form_.host().MsgBox("Interner Fehler / Internal error:\r\n" + what, MsgButtons::OK, kApplicationTitle);
  };
  register_window_classes(GetModuleHandleW(nullptr));
  create_form_windows();
  const HWND window = form_window_.get();
  UINT_PTR next_timer = 1;
  for (Control* child : form_.Form.children()) {
    if (child->type() == ControlType::Timer) {
      timers_[static_cast<const Timer*>(child)] = TimerSlot{next_timer++, false};
    } else {
      build(*child, window);
    }
  }
  restack(form_.Form);
  for (auto& [control, state] : states_) apply_all(*state->control);
  form_.for_each_control([this](Control& control) { control.set_observer(this); });
}

FormView::~FormView() {
  form_.for_each_control([](Control& control) { control.set_observer(nullptr); });
  stop_timers();
  // The windows go now, without calling back into a view that is ending.
  for (auto& [control, state] : states_) {
    if (state->hwnd != nullptr && is_surface(*control)) SetWindowLongPtrW(state->hwnd, GWLP_USERDATA, 0);
  }
  form_window_.reset();
  owner_window_.reset();
}

ControlState& FormView::add_state(Control& control, HWND container) {
  auto state = std::make_unique<ControlState>();
  state->view = this;
  state->control = &control;
  state->container = container;
  const bool list = control.type() == ControlType::ListBox;
  state->back = GetSysColor(list ? COLOR_WINDOW : COLOR_BTNFACE);
  state->fore = GetSysColor(list ? COLOR_WINDOWTEXT : COLOR_BTNTEXT);
  if (!is_windowless(control) && control.type() != ControlType::Form) {
    state->id = kFirstChildId + static_cast<int>(by_id_.size());
    by_id_[state->id] = &control;
  }
  ControlState& out = *state;
  states_[&control] = std::move(state);
  return out;
}

void FormView::create_form_windows() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  // An owned window gets no taskbar button; its owner is never shown.
  owner_window_.reset(CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr));
  ControlState& state = add_state(form_.Form, nullptr);
  RECT outer{0, 0, units_.to_pixels(kClientWidthTwips), units_.to_pixels(kClientHeightTwips)};
  AdjustWindowRectEx(&outer, kFormStyle, FALSE, 0);
  form_window_.reset(CreateWindowExW(0, kFormClass, L"", kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                     outer.right - outer.left, outer.bottom - outer.top, owner_window_.get(), nullptr,
                                     instance, &state));
  state.hwnd = form_window_.get();
}

void FormView::build(Control& control, HWND parent) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  ControlState& state = add_state(control, parent);
  const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(state.id));
  constexpr DWORD kChild = WS_CHILD | WS_CLIPSIBLINGS;
  switch (control.type()) {
    case ControlType::PictureBox: {
      const bool sunken = static_cast<const PictureBox&>(control).BorderStyle == Border::FixedSingle3D;
      state.hwnd = CreateWindowExW(sunken ? WS_EX_CLIENTEDGE : 0, kPictureBoxClass, L"", kChild | WS_CLIPCHILDREN, 0, 0,
                                   0, 0, parent, id, instance, &state);
      for (Control* child : control.children()) build(*child, state.hwnd);
      restack(control);
      break;
    }
    case ControlType::ListBox:
      state.hwnd = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                   kChild | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0,
                                   parent, id, instance, nullptr);
      break;
    case ControlType::CommandButton:
      state.hwnd = CreateWindowExW(0, L"BUTTON", L"", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, parent, id,
                                   instance, nullptr);
      break;
    default:
      break;  // labels and images are drawn on the container
  }
  if (state.hwnd != nullptr && control.type() != ControlType::PictureBox) {
    SendMessageW(state.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.get(control.Font, control.Font.Bold)), FALSE);
  }
}

// Windowed siblings stack by ZOrder, higher above; labels and images lie on
// the container's surface beneath all of them.
void FormView::restack(const Control& container) {
  std::vector<Control*> order;
  for (Control* child : container.children()) {
    if (handle(*child) != nullptr) order.push_back(child);
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const Control* a, const Control* b) { return a->ZOrder < b->ZOrder; });
  for (Control* child : order) {
    SetWindowPos(handle(*child), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void FormView::apply_all(Control& control) {
  for (Aspect aspect : {Aspect::Picture, Aspect::Geometry, Aspect::Caption, Aspect::BackColor, Aspect::ForeColor,
                        Aspect::FontBold, Aspect::Items}) {
    apply(control, aspect);
  }
  // Visibility last, so a window appears with its final look.
  apply(control, Aspect::Visible);
}

void FormView::changed(Control& control, Aspect aspect) { apply(control, aspect); }

void FormView::apply(Control& control, Aspect aspect) {
  if (control.type() == ControlType::Timer) {
    if (aspect == Aspect::Enabled) set_timer(static_cast<Timer&>(control));
    return;
  }
  ControlState* state = state_of(control);
  if (state == nullptr || !form_window_) return;  // the window is gone: nothing to draw on
  const bool windowless = is_windowless(control);
  switch (aspect) {
    case Aspect::Geometry:
      if (control.type() != ControlType::Form) draw_geometry(*state);  // the window's size is fixed
      break;
    case Aspect::Visible:
      if (windowless) {
        repaint_windowless(*state);
      } else if (control.type() != ControlType::Form) {
        ShowWindow(state->hwnd, control.Visible ? SW_SHOWNA : SW_HIDE);
      }
      break;
    case Aspect::Caption:
      if (auto* window = dynamic_cast<FormWindow*>(&control)) {
        SetWindowTextW(state->hwnd, to_wide(shown_text(window->Caption.get())).c_str());
      } else if (auto* button = dynamic_cast<CommandButton*>(&control)) {
        SetWindowTextW(state->hwnd, plain_button_text(shown_text(button->Caption.get())).c_str());
      } else if (windowless) {
        repaint_windowless(*state);
      }
      break;
    case Aspect::ForeColor:
    case Aspect::BackColor:
      draw_colour(*state, aspect);
      break;
    case Aspect::FontBold:
    case Aspect::Picture:
      if (windowless) repaint_windowless(*state);
      break;
    case Aspect::Items:
      if (control.type() == ControlType::ListBox) draw_items(*state);
      break;
    case Aspect::Enabled:
      break;  // timers only
  }
}

void FormView::draw_geometry(ControlState& state) {
  if (state.hwnd == nullptr) {
    repaint_windowless(state);
    return;
  }
  const Control& c = *state.control;
  SetWindowPos(state.hwnd, nullptr, units_.to_pixels(c.Left), units_.to_pixels(c.Top), units_.to_pixels(c.Width),
               units_.to_pixels(c.Height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormView::draw_colour(ControlState& state, Aspect aspect) {
  const bool back = aspect == Aspect::BackColor;
  Control& control = *state.control;
  std::optional<Colour> value;
  if (auto* window = dynamic_cast<FormWindow*>(&control)) {
    if (back) value = window->BackColor.get();
  } else if (auto* box = dynamic_cast<PictureBox*>(&control)) {
    value = back ? box->BackColor.get() : box->ForeColor.get();
  } else if (auto* label = dynamic_cast<Label*>(&control)) {
    value = back ? label->BackColor.get() : label->ForeColor.get();
  } else if (auto* list = dynamic_cast<ListBox*>(&control)) {
    value = back ? list->BackColor.get() : list->ForeColor.get();
  }
  if (!value) return;
  const auto shown = to_colorref(*value);
  if (!shown) return;  // not a colour this toolkit can show: the old one stays
  (back ? state.back : state.fore) = *shown;
  if (control.type() == ControlType::ListBox) {
    if (back) state.back_brush.reset(CreateSolidBrush(*shown));
    InvalidateRect(state.hwnd, nullptr, TRUE);
  } else if (state.hwnd == nullptr) {
    repaint_windowless(state);
  } else if (back) {
    InvalidateRect(state.hwnd, nullptr, FALSE);
  }
}

void FormView::draw_items(ControlState& state) {
  const auto& list = static_cast<const ListBox&>(*state.control);
  SendMessageW(state.hwnd, WM_SETREDRAW, FALSE, 0);
  SendMessageW(state.hwnd, LB_RESETCONTENT, 0, 0);
  for (const std::string& text : list.texts()) {
    SendMessageW(state.hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(to_wide(text).c_str()));
  }
  SendMessageW(state.hwnd, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(state.hwnd, nullptr, TRUE);
}

// A windowless control is repainted where it was and where it is now.
void FormView::repaint_windowless(ControlState& state) {
  if (state.container == nullptr) return;
  InvalidateRect(state.container, &state.drawn, FALSE);
  state.drawn = area(*state.control);
  InvalidateRect(state.container, &state.drawn, FALSE);
}

// Enabling a running timer again does not restart it: its step still
// starts once, at the first tick.
void FormView::set_timer(Timer& timer) {
  const auto found = timers_.find(&timer);
  if (found == timers_.end() || !form_window_) return;
  TimerSlot& slot = found->second;
  if (!timer.Enabled || timer.Interval <= 0) {
    if (slot.running) KillTimer(form_window_.get(), slot.id);
    slot.running = false;
  } else if (!slot.running) {
    slot.running = SetTimer(form_window_.get(), slot.id, static_cast<UINT>(timer.Interval), nullptr) != 0;
  }
}

void FormView::stop_timers() {
  for (auto& [timer, slot] : timers_) {
    if (slot.running && form_window_) KillTimer(form_window_.get(), slot.id);
    slot.running = false;
  }
}

void FormView::tick(UINT_PTR id) {
  for (auto& [timer, slot] : timers_) {
    if (slot.id != id) continue;
    // A tick already queued when the timer was disabled is not delivered.
    if (!timer->Enabled) {
      set_timer(const_cast<Timer&>(*timer));
      return;
    }
    Timer& model = const_cast<Timer&>(*timer);
    guard_.run([&model] { model.Tick(); });
    return;
  }
}

bool FormView::timer_running(const Timer& timer) const {
  const auto found = timers_.find(&timer);
  return found != timers_.end() && found->second.running;
}

void FormView::load_and_show() {
  if (!loaded_) {
    loaded_ = true;
    guard_.run([this] { form_.Form_Load(); });
  }
  const HWND window = form_window_.get();
  if (window == nullptr) return;
  layout_pass();
  RECT outer;
  GetWindowRect(window, &outer);
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  SetWindowPos(window, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
}

// The model reads the client area and the outer width before its layout
// pass; a pass with the same sizes as the last one is left out.
void FormView::layout_pass() {
  const HWND window = form_window_.get();
  if (!loaded_ || window == nullptr) return;
  RECT client, outer;
  GetClientRect(window, &client);
  GetWindowRect(window, &outer);
  const float scale_width = units_.to_twips(client.right);
  const float scale_height = units_.to_twips(client.bottom);
  const float outer_width = units_.to_twips(std::max<int>(outer.right - outer.left, client.right));
  if (form_.Form.take_sizes(scale_width, scale_height, outer_width)) guard_.run([this] { form_.Form_Resize(); });
}

void FormView::window_gone() {
  form_window_.forget();
  for (auto& [control, state] : states_) {
    state->hwnd = nullptr;
    state->container = nullptr;
  }
  if (on_closed) on_closed();
}

HWND FormView::handle(const Control& control) const {
  if (control.type() == ControlType::Form) return nullptr;
  const ControlState* state = state_of(control);
  return state ? state->hwnd : nullptr;
}

RECT FormView::area(const Control& control) const {
  RECT r{units_.to_pixels(control.Left), units_.to_pixels(control.Top), 0, 0};
  SIZE size{units_.to_pixels(control.Width), units_.to_pixels(control.Height)};
  // An image is as large as its picture at the screen's DPI.
  if (const auto* image = dynamic_cast<const Image*>(&control)) {
    const Picture& picture = const_cast<PictureCache&>(pictures_).get(image->Picture.get().asset);
    if (picture) size = picture.size();
  }
  r.right = r.left + size.cx;
  r.bottom = r.top + size.cy;
  return r;
}

const ControlState* FormView::state_of(const Control& control) const {
  const auto found = states_.find(&control);
  return found == states_.end() ? nullptr : found->second.get();
}

ControlState* FormView::state_of(const Control& control) {
  const auto found = states_.find(&control);
  return found == states_.end() ? nullptr : found->second.get();
}

LRESULT FormView::on_message(ControlState& state, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  const bool is_form = state.control == &form_.Form;
  const POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the whole surface is painted in WM_PAINT
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(hwnd, &paint);
      paint_surface(state, dc, paint.rcPaint);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(hwnd, &client);
      paint_surface(state, reinterpret_cast<HDC>(wparam), client);
      return 0;
    }
    case WM_MOUSEMOVE:
      mouse_move(state, hwnd, point);
      return 0;
    case WM_LBUTTONDOWN:
      mouse_press(state, hwnd, point);
      return 0;
    case WM_LBUTTONUP:
      mouse_release(state, hwnd, point);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) != hwnd) clicks_.cancel();
      return 0;
    case WM_COMMAND:
      if (lparam != 0) child_command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_CTLCOLORLISTBOX:
      return list_colours(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_TIMER:
      if (is_form) tick(wparam);
      return 0;
    case WM_SIZE:
    case WM_MOVE:
      if (is_form && IsWindowVisible(hwnd)) layout_pass();
      return 0;
    case WM_CLOSE:
      if (is_form) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      if (is_form) {
        stop_timers();
        clicks_.cancel();
      }
      break;
    case WM_NCDESTROY:
      state.hwnd = nullptr;
      if (is_form) window_gone();
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace qor::win32
