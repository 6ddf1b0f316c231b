// The surface of the window and of each picture box: its background, the
// labels and images drawn on it, and the mouse events over it, each going
// to the control under the pointer (nothing bubbles to the container).
#include <algorithm>
#include <vector>

#include "platform/win32/wide_text.hpp"
#include "window/shown_text.hpp"
#include "window/win32/form_view.hpp"

namespace qor::win32 {
namespace {

// The labels and images of a container in drawing order: later ones above.
std::vector<Control*> windowless_children(const Control& container) {
  std::vector<Control*> out;
  for (Control* child : container.children()) {
    if (child->type() == ControlType::Label || child->type() == ControlType::Image) out.push_back(child);
  }
  std::stable_sort(out.begin(), out.end(), [](const Control* a, const Control* b) { return a->ZOrder < b->ZOrder; });
  return out;
}

}  // namespace

void FormView::paint_surface(ControlState& state, HDC target, const RECT& dirty) {
  RECT client;
  GetClientRect(state.hwnd, &client);
  // Drawn off screen first, so labels never flicker over their background.
  const MemoryDc memory(target);
  const UniqueBitmap bitmap(
      CreateCompatibleBitmap(target, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)));
  const bool buffered = memory.get() != nullptr && bitmap;
  const HDC dc = buffered ? memory.get() : target;
  const Selection selected(dc, buffered ? bitmap.get() : nullptr);

  const UniqueBrush background(CreateSolidBrush(state.back));
  FillRect(dc, &client, background.get());
  for (Control* child : windowless_children(*state.control)) {
    if (!child->Visible) continue;
    if (ControlState* child_state = state_of(*child)) draw_windowless(*child_state, dc);
  }
  if (buffered) {
    BitBlt(target, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, dc, dirty.left, dirty.top,
           SRCCOPY);
  }
}

void FormView::draw_windowless(const ControlState& child, HDC dc) {
  RECT r = area(*child.control);
  if (const auto* label = dynamic_cast<const Label*>(child.control)) {
    if (label->BackStyle == Background::Opaque) {
      const UniqueBrush back(CreateSolidBrush(child.back));
      FillRect(dc, &r, back.get());
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, child.fore);
    const Selection font(dc, fonts_.get(label->Font, label->FontBold));
    // Captions are plain text: no "&" mnemonics. "\r\n" breaks the line.
    const UINT format =
        DT_WORDBREAK | DT_NOPREFIX | DT_TOP | (label->Alignment == TextAlignment::Centre ? DT_CENTER : DT_LEFT);
    const std::wstring text = to_wide(shown_text(label->Caption.get()));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
  } else if (const auto* image = dynamic_cast<const Image*>(child.control)) {
    pictures_.get(image->Picture.get().asset).draw(dc, r.left, r.top);
  }
}

Control* FormView::hit_test(const ControlState& container, POINT client) const {
  const std::vector<Control*> children = windowless_children(*container.control);
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (!(*it)->Visible) continue;
    const RECT r = area(**it);
    if (PtInRect(&r, client)) return *it;
  }
  return container.control;
}

void FormView::mouse_move(ControlState& container, HWND hwnd, POINT client) {
  // While a press lasts, its control gets the moves, wherever they are.
  Control* target = hit_test(container, client);
  if (const Control* pressed = clicks_.pressed(); pressed != nullptr && GetCapture() == hwnd) {
    target = const_cast<Control*>(pressed);
  }
  guard_.run(target->on_mouse_move);
}

void FormView::mouse_press(ControlState& container, HWND hwnd, POINT client) {
  Control* target = hit_test(container, client);
  POINT screen = client;
  ClientToScreen(hwnd, &screen);
  if (clicks_.press(*target, screen, static_cast<DWORD>(GetMessageTime()), ClickTracker::system_limits())) {
    SetCapture(hwnd);
  }
}

// A release completes a Click only over the control that got the press, and
// only where no other window lies above it.
void FormView::mouse_release(ControlState& container, HWND hwnd, POINT client) {
  const Control* pressed = clicks_.take_pressed();
  if (GetCapture() == hwnd) ReleaseCapture();
  if (pressed == nullptr) return;
  POINT screen = client;
  ClientToScreen(hwnd, &screen);
  if (WindowFromPoint(screen) != hwnd) return;
  Control* over = hit_test(container, client);
  if (over != pressed) return;
  guard_.run(over->on_click);
}

// A list box raises Click when its selection changes, a button when it is pressed.
void FormView::child_command(WORD id, WORD code) {
  const auto found = by_id_.find(id);
  if (found == by_id_.end()) return;
  Control& control = *found->second;
  const bool list_click = control.type() == ControlType::ListBox && code == LBN_SELCHANGE;
  const bool button_click = control.type() == ControlType::CommandButton && code == BN_CLICKED;
  if (list_click || button_click) guard_.run(control.on_click);
}

LRESULT FormView::list_colours(HDC dc, HWND list) {
  const auto found = by_id_.find(GetDlgCtrlID(list));
  if (found == by_id_.end()) return 0;
  ControlState* state = state_of(*found->second);
  if (state == nullptr) return 0;
  if (!state->back_brush) state->back_brush.reset(CreateSolidBrush(state->back));
  SetTextColor(dc, state->fore);
  SetBkColor(dc, state->back);
  return reinterpret_cast<LRESULT>(state->back_brush.get());
}

}  // namespace qor::win32
