// The window's host on Win32: real message boxes (answered from inside
// their own modal loop), yielding to the message loop, Unload, and whether
// the window was closed.
#include "tests/platform/win32/window/binding_fixture.hpp"
#include "window/win32/host_binding.hpp"
#include "window/win32/win32_form_host.hpp"

namespace qor::test {
namespace {

struct SeenBox {
  std::wstring title, text;
  int buttons = 0;
};

// Answers the message box that opens next: `command` presses a button,
// 0 closes the box with its close button.
struct BoxAnswer {
  static inline SeenBox* seen = nullptr;  // for the timer procedure only
  static inline WPARAM command = 0;

  static BOOL CALLBACK count_button(HWND child, LPARAM counter) {
    wchar_t cls[16] = {};
    GetClassNameW(child, cls, 16);
    if (lstrcmpiW(cls, L"Button") == 0 && IsWindowVisible(child)) ++*reinterpret_cast<int*>(counter);
    return TRUE;
  }
  static void CALLBACK answer(HWND, UINT, UINT_PTR id, DWORD) {
    const HWND box = FindWindowW(L"#32770", L"QOR_sync_PRO");
    if (box == nullptr) return;
    KillTimer(nullptr, id);
    wchar_t text[256] = {}, title[64] = {};
    GetWindowTextW(box, title, 64);
    GetDlgItemTextW(box, 0xFFFF, text, 256);  // the box's static text
    seen->title = title;
    seen->text = text;
    EnumChildWindows(box, count_button, reinterpret_cast<LPARAM>(&seen->buttons));
    if (command != 0) {
      PostMessageW(box, WM_COMMAND, command, 0);
    } else {
      PostMessageW(box, WM_CLOSE, 0, 0);
    }
  }
  BoxAnswer(SeenBox& box, WPARAM button) {
    seen = &box;
    command = button;
    SetTimer(nullptr, 0, 50, answer);
  }
};

TEST(MessageBoxes, CaptionTextButtonsAndClosing) {
  win32::MessageBoxPresenter presenter;
  SeenBox box;
  BoxAnswer retry(box, IDRETRY);
  EXPECT_EQ(presenter.present("Line 1\r\nLine 2 & more", MsgButtons::RetryCancel, kApplicationTitle), MsgResult::Retry);
  EXPECT_EQ(box.title, L"QOR_sync_PRO");
  EXPECT_EQ(box.text, L"Line 1\r\nLine 2 & more");
  EXPECT_EQ(box.buttons, 2);

  SeenBox closed;
  BoxAnswer close(closed, 0);
  EXPECT_EQ(presenter.present("Übertragunsfehler", MsgButtons::RetryCancel, kApplicationTitle), MsgResult::Cancel);
  EXPECT_EQ(closed.text, L"Übertragunsfehler");

  SeenBox ok;
  BoxAnswer close_ok(ok, 0);
  EXPECT_EQ(presenter.present("Fehler beim Verbindungsaufbau", MsgButtons::OK, kApplicationTitle), MsgResult::OK);
  EXPECT_EQ(ok.buttons, 1);
}

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
  POINT inside = at(form.Picture1(9), {5, 5});
  ScreenToClient(view->handle(form.Picture1(9)), &inside);
  PostMessageW(view->handle(form.Picture1(9)), WM_MOUSEMOVE, 0, MAKELPARAM(inside.x, inside.y));
  PostQuitMessage(7);
  win32_host.DoEvents();
  EXPECT_EQ(moves, 1);
  MSG quit;
  ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(quit.wParam, 7u);
  EXPECT_EQ(win32_host.MsgBox("x", MsgButtons::RetryCancel, kApplicationTitle), MsgResult::Retry);
  EXPECT_EQ(presenter.texts, std::vector<std::string>{"x"});
}

TEST_F(Binding, UnloadDestroysTheWindowAndEndsTheProgram) {
  Recording presenter;
  win32::Win32FormHost win32_host(presenter);
  win32_host.set_window(view->window());
  const HWND window = view->window();
  int closed = 0;
  view->on_closed = [&closed] { ++closed; };
  form.Timer1.Enabled = true;
  EXPECT_FALSE(win32_host.closed());
  win32_host.Unload();
  EXPECT_TRUE(win32_host.closed());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(view->window(), nullptr);
  EXPECT_EQ(closed, 1);
  // Handlers that go on after Unload change the model only.
  form.Label7(5).Caption = "after";
  form.List3.AddItem("after");
  form.Timer2.Enabled = true;
  pump(300);
  EXPECT_EQ(steps.count("load_transfer_settings"), 0);
  win32_host.Unload();
  EXPECT_EQ(closed, 1);
}

// The close button (the system command it sends) while a step yields: the
// host says the window is closed from then on, the step ends at its next
// look, no later step of the chain runs, and the message loop is told to end.
TEST(Win32Host, TheCloseButtonWhileAStepYieldsEndsTheRunAndTheChain) {
  shared_variables() = SharedVariables{};
  win32::MessageBoxPresenter presenter;
  win32::Win32FormHost host(presenter);
  EXPECT_FALSE(host.closed());  // no window yet
  QOR_sync_FRM form{{&host, [](const std::string&) { return std::unique_ptr<FileSystem>(); }, "C:\\qor"}};
  StepRecorder steps{form.steps};
  win32::FormView view(form);
  win32::bind_host(view, host, presenter);
  view.load_and_show();
  pump(100);
  const HWND window = view.window();
  int yields = 0;
  steps.then(&Steps::download_packages, [&] {
    SetTimer(window, 77, 100, [](HWND hwnd, UINT, UINT_PTR id, DWORD) {
      KillTimer(hwnd, id);
      PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    for (; !host.closed() && yields < 2000; ++yields) {
      host.DoEvents();
      Sleep(5);
    }
  });
  form.Label3(1).Click();  // the install run; the update list would follow
  EXPECT_TRUE(host.closed());
  EXPECT_LT(yields, 2000);
  EXPECT_FALSE(IsWindow(window));
  form.Timer4.Tick();
  EXPECT_EQ(steps.calls, Calls{"download_packages"});
  EXPECT_TRUE(host.closed());
  MSG quit;
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  shared_variables() = SharedVariables{};
}

// Steps through what a user does while a box is up over the window, one
// step per tick of a timer that runs in the box's own message loop.
struct WhileTheBoxIsUp {
  static inline std::function<bool()> next;  // for the timer procedure only
  static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
    if (next && !next()) KillTimer(nullptr, id);
  }
  explicit WhileTheBoxIsUp(std::function<bool()> steps) {
    next = std::move(steps);
    SetTimer(nullptr, 0, 150, tick);
  }
  ~WhileTheBoxIsUp() { next = nullptr; }
};

// A box over the window leaves its close working: a disabled window takes
// no close, from its close button or from the window manager, so the window
// stays enabled while its controls take no input. The answer still counts;
// closing the window ends the box without one, and the host says so.
TEST_F(Binding, ABoxOverTheWindowLeavesItsCloseButtonWorkingButItsControlsQuiet) {
  show_package_panel();
  int clicks = 0;
  count_calls(form.Label3(1).on_click, clicks);
  win32::MessageBoxPresenter presenter;
  win32::Win32FormHost win32_host(presenter);
  win32::bind_host(*view, win32_host, presenter);
  const HWND window = view->window();
  const POINT button = at(form.Label3(1));

  bool enabled_under_box = false;
  int stage = 0;
  {
    const WhileTheBoxIsUp user([&] {
      const HWND box = FindWindowW(L"#32770", L"QOR_sync_PRO");
      if (box == nullptr) return true;
      switch (stage++) {
        case 0:
          enabled_under_box = IsWindowEnabled(window) != FALSE;
          // Out of the way of the button, which is then clicked.
          SetWindowPos(box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
          click(button);
          return true;
        default:
          PostMessageW(box, WM_COMMAND, IDRETRY, 0);
          return false;
      }
    });
    EXPECT_EQ(win32_host.MsgBox("Frage", MsgButtons::RetryCancel, kApplicationTitle), MsgResult::Retry);
  }
  EXPECT_TRUE(enabled_under_box);
  EXPECT_EQ(clicks, 0);
  click(button);
  pump(200);
  EXPECT_EQ(clicks, 1) << "the controls take input again once the box is gone";

  {
    const WhileTheBoxIsUp user([&] {
      const HWND box = FindWindowW(L"#32770", L"QOR_sync_PRO");
      if (box == nullptr) return true;
      // What the close button, or the window manager's close, sends; a
      // disabled window gets nothing, and the box has to be answered.
      if (IsWindowEnabled(window))
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      else
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      return false;
    });
    EXPECT_EQ(win32_host.MsgBox("Übertragunsfehler", MsgButtons::OK, kApplicationTitle), MsgResult::OK);
  }
  EXPECT_TRUE(win32_host.closed());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(FindWindowW(L"#32770", L"QOR_sync_PRO"), nullptr);
  MSG quit;
  EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
}  // namespace qor::test
