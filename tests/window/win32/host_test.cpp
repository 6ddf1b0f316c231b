// The Win32 host's own: yielding to the message loop leaves its quit
// message alone, and a window that goes is destroyed.
#include "tests/window/contract/contract_fixture.hpp"
#include "tests/window/contract/win32_glue.hpp"
#include "window/win32/win32_form_host.hpp"

namespace qor::test {
namespace {

// The contract suite's window, reached through its Win32 view.
using Binding = ToolkitContract;

struct Recording : MessagePresenter {
  std::vector<std::string> texts;
  MsgResult present(const std::string& text, MsgButtons buttons, const std::string&) override {
    texts.push_back(text);
    return buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Retry;
  }
};

TEST_F(Binding, DoEventsDispatchesAndLeavesTheQuitForTheLoop) {
  Recording presenter;
  win32::Win32FormHost win32_host(presenter);
  int moves = 0;
  count_calls(form.Picture1(9).on_mouse_move, moves);
  POINT inside = screen_point(*view, form.Picture1(9), {5, 5});
  ScreenToClient(native(*view).handle(form.Picture1(9)), &inside);
  PostMessageW(native(*view).handle(form.Picture1(9)), WM_MOUSEMOVE, 0, MAKELPARAM(inside.x, inside.y));
  PostQuitMessage(7);
  win32_host.DoEvents();
  EXPECT_EQ(moves, 1);
  MSG quit;
  ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 7u);
  EXPECT_EQ(win32_host.MsgBox("x", MsgButtons::RetryCancel, kApplicationTitle), MsgResult::Retry);
  EXPECT_EQ(presenter.texts, std::vector<std::string>{"x"});
}

// Unload and the close button destroy the window, not only hide it, and the
// view forgets its handle; the rest of both is the contract suite's.
TEST_F(Binding, UnloadDestroysTheWindowAndTheViewForgetsIt) {
  Recording presenter;
  win32::Win32FormHost win32_host(presenter);
  win32_host.set_window(native(*view).window());
  const HWND window = native(*view).window();
  win32_host.Unload();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(native(*view).window(), nullptr);
}

TEST_F(Binding, TheCloseButtonDestroysTheWindow) {
  const HWND window = native(*view).window();
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  pump_messages(200);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(native(*view).window(), nullptr);
}

}  // namespace
}  // namespace qor::test
