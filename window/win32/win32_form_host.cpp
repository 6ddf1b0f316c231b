#include "window/win32/win32_form_host.hpp"

#include <optional>
#include <vector>

#include "platform/win32/wide_text.hpp"
#include "window/shown_text.hpp"

namespace qor::win32 {

MsgResult message_box_result(int answer, MsgButtons buttons) {
  switch (answer) {
    case IDRETRY:
      return MsgResult::Retry;
    case IDCANCEL:
      return buttons == MsgButtons::RetryCancel ? MsgResult::Cancel : MsgResult::OK;
    case IDOK:
      return MsgResult::OK;
    default:
      // No box could be shown: as if it had been closed.
      return buttons == MsgButtons::RetryCancel ? MsgResult::Cancel : MsgResult::OK;
  }
}

namespace {

// While a box is up over the window: MessageBoxW disables the window, and a
// disabled window takes no close, neither from its close button nor from
// the window manager. So the window is enabled again once the box is up,
// and its controls are disabled instead, which keeps their input from the
// steps as the box would. Closing the window destroys the box with it.
class BoxOverWindow {
 public:
  explicit BoxOverWindow(HWND window) : window_(window), outer_(current) {
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsWindowEnabled(child)) continue;
      EnableWindow(child, FALSE);
      disabled_.push_back(child);
    }
    current = this;
    hook_ = SetWindowsHookExW(WH_CBT, on_cbt, nullptr, GetCurrentThreadId());
  }
  BoxOverWindow(const BoxOverWindow&) = delete;
  BoxOverWindow& operator=(const BoxOverWindow&) = delete;
  ~BoxOverWindow() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    current = outer_;
    for (HWND child : disabled_)
      if (IsWindow(child)) EnableWindow(child, TRUE);
  }

 private:
  // The box is being activated: by now its owner is disabled.
  static LRESULT CALLBACK on_cbt(int code, WPARAM wparam, LPARAM lparam) {
    const HWND activated = reinterpret_cast<HWND>(wparam);
    if (code == HCBT_ACTIVATE && current != nullptr && GetWindow(activated, GW_OWNER) == current->window_ &&
        IsWindow(current->window_))
      EnableWindow(current->window_, TRUE);
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }

  // The hook procedure has no context of its own; a box shown while another
  // is up (by a timer's step) stacks on it.
  static inline thread_local BoxOverWindow* current = nullptr;

  HWND window_;
  BoxOverWindow* outer_;
  std::vector<HWND> disabled_;
  HHOOK hook_ = nullptr;
};

}  // namespace

MsgResult MessageBoxPresenter::present(const std::string& text, MsgButtons buttons, const std::string& caption) {
  // A box without a live owner must still stay in front of the program.
  const HWND owner = IsWindow(owner_) ? owner_ : nullptr;
  const UINT type = (buttons == MsgButtons::RetryCancel ? MB_RETRYCANCEL : MB_OK) | (owner ? 0 : MB_TASKMODAL);
  std::optional<BoxOverWindow> over;
  if (owner != nullptr) over.emplace(owner);
  // MessageBoxW shows its text as it is: no markup, no mnemonics.
  const int answer = MessageBoxW(owner, to_wide(shown_text(text)).c_str(), to_wide(caption).c_str(), type);
  return message_box_result(answer, buttons);
}

MsgResult Win32FormHost::MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) {
  return presenter_.present(text, buttons, caption);
}

void Win32FormHost::DoEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The program is ending: the message loop must still see it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (before_dispatch && before_dispatch(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32FormHost::Unload() {
  closed_ = true;
  if (IsWindow(window_)) DestroyWindow(window_);
}

bool Win32FormHost::closed() const { return closed_ || (window_ != nullptr && !IsWindow(window_)); }

}  // namespace qor::win32
