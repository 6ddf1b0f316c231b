// Keyboard focus in TabIndex order. Only list boxes and command buttons take
// the focus; a control that is not shown (itself or a container) is passed.
#include <algorithm>
#include <vector>

#include "window/win32/form_view.hpp"

namespace qor::win32 {

bool FormView::tab_key(const MSG& message) {
  const HWND window = form_window_.get();
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || window == nullptr) return false;
  if (message.hwnd != window && !IsChild(window, message.hwnd)) return false;

  std::vector<std::pair<int, HWND>> stops;
  for (const auto& [control, state] : states_) {
    const bool focusable = control->type() == ControlType::ListBox || control->type() == ControlType::CommandButton;
    if (focusable && state->hwnd != nullptr) stops.emplace_back(control->TabIndex, state->hwnd);
  }
  std::sort(stops.begin(), stops.end());
  const bool backwards = GetKeyState(VK_SHIFT) < 0;
  if (backwards) std::reverse(stops.begin(), stops.end());

  const HWND focus = GetFocus();
  const auto current =
      std::find_if(stops.begin(), stops.end(), [focus](const auto& stop) { return stop.second == focus; });
  // From the control after the focused one, round to the start.
  const std::size_t first = current == stops.end() ? 0 : static_cast<std::size_t>(current - stops.begin()) + 1;
  for (std::size_t i = 0; i < stops.size(); ++i) {
    const HWND next = stops[(first + i) % stops.size()].second;
    if (IsWindowVisible(next) && IsWindowEnabled(next)) {
      SetFocus(next);
      break;
    }
  }
  return true;
}

}  // namespace qor::win32
