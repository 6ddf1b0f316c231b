#include "win32_form_host.hpp"

#include "shown_text.hpp"
#include "wide_text.hpp"

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

MsgResult MessageBoxPresenter::present(const std::string& text, MsgButtons buttons, const std::string& caption) {
  // A box without a live owner must still stay in front of the program.
  const HWND owner = IsWindow(owner_) ? owner_ : nullptr;
  const UINT type = (buttons == MsgButtons::RetryCancel ? MB_RETRYCANCEL : MB_OK) | (owner ? 0 : MB_TASKMODAL);
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
