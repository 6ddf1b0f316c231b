// The window's host on the toolkit: real message boxes (answered from
// inside their own modal loop), Unload, yielding while the user closes the
// window, and a box over the window that must not lock the user in.
#include <chrono>
#include <thread>

#include "tests/window/contract/contract_fixture.hpp"

namespace qor::test {
namespace {

class Host : public ToolkitContract {};

TEST(MessageBoxes, CaptionTextButtonsAndClosing) {
  ToolkitHost toolkit;
  SeenBox retry;
  answer_next_box(retry, MsgResult::Retry);
  EXPECT_EQ(toolkit.host().MsgBox("Line 1\r\nLine 2 & more", MsgButtons::RetryCancel, kApplicationTitle),
            MsgResult::Retry);
  ASSERT_TRUE(retry.seen);
  EXPECT_EQ(retry.title, kApplicationTitle);
  EXPECT_EQ(retry.text, "Line 1\nLine 2 & more");
  EXPECT_EQ(retry.buttons, 2);

  // Closing a question is its cancelling button.
  SeenBox closed;
  answer_next_box(closed, std::nullopt);
  EXPECT_EQ(toolkit.host().MsgBox("Übertragunsfehler", MsgButtons::RetryCancel, kApplicationTitle), MsgResult::Cancel);
  EXPECT_EQ(closed.text, "Übertragunsfehler");

  SeenBox ok;
  answer_next_box(ok, MsgResult::OK);
  EXPECT_EQ(toolkit.host().MsgBox("Übertragunsfehler", MsgButtons::OK, kApplicationTitle), MsgResult::OK);
  EXPECT_EQ(ok.buttons, 1);
  SeenBox ok_closed;
  answer_next_box(ok_closed, std::nullopt);
  EXPECT_EQ(toolkit.host().MsgBox("Fehler beim Verbindungsaufbau", MsgButtons::OK, kApplicationTitle), MsgResult::OK);
  EXPECT_TRUE(ok_closed.seen);
}

TEST(MessageBoxes, AVeryLongTextShowsOnlyItsStart) {
  ToolkitHost toolkit;
  SeenBox box;
  const std::string path = "/opt/app/" + std::string(std::size_t{1} << 20, 'x');
  answer_next_box(box, MsgResult::OK);
  EXPECT_EQ(toolkit.host().MsgBox("Hauptprogramm nicht gefunden:\r\n" + path, MsgButtons::OK, kApplicationTitle),
            MsgResult::OK);
  ASSERT_TRUE(box.seen);
  EXPECT_LE(box.text.size(), 4003u);  // 4000 characters and "…"
  EXPECT_EQ(box.text.rfind("Hauptprogramm nicht gefunden:\n/opt/app/xxx", 0), 0u);
  EXPECT_TRUE(box.text.ends_with("\u2026"));
}

TEST_F(Host, UnloadClosesTheWindowAndEndsTheProgram) {
  ToolkitHost toolkit;
  toolkit.bind(*view);
  int closed = 0;
  view->on_closed([&closed] { ++closed; });
  EXPECT_FALSE(toolkit.host().closed());
  toolkit.host().Unload();
  EXPECT_TRUE(toolkit.host().closed());
  EXPECT_FALSE(view->window_shown());
  EXPECT_EQ(closed, 1);
  EXPECT_TRUE(toolkit.loop_told_to_end());
  // Handlers that go on after Unload change the model only.
  form.Label7(5).Caption = "after";
  form.List3.AddItem("after");
  form.Timer2.Enabled = true;
  view->pump(300);
  toolkit.host().Unload();
  EXPECT_EQ(closed, 1);
}

// A timer left running when a handler unloads the window ticks no more,
// should the event loop still run (a step that yields after Unload).
TEST_F(Host, NoTimerTicksAfterUnload) {
  ToolkitHost toolkit;
  toolkit.bind(*view);
  form.Timer1.Enabled = true;
  toolkit.host().Unload();
  form.Timer2.Enabled = true;
  view->pump(300);
  EXPECT_EQ(steps.count("load_transfer_settings"), 0);
  EXPECT_EQ(steps.count("list_new_packages"), 0);
}

// The close button (or the window manager's close) while a step yields: the
// host says the window is closed from then on, the step ends at its next
// look, no later step of the chain runs, and the event loop is told to end.
TEST(ToolkitHost, TheCloseButtonWhileAStepYieldsEndsTheRunAndTheChain) {
  shared_variables() = SharedVariables{};
  ToolkitHost toolkit;
  FormHost& host = toolkit.host();
  EXPECT_FALSE(host.closed());  // no window yet
  TempDir dir;
  QOR_sync_FRM form{{&host, make_local_file_system, dir.path()}};
  StepRecorder steps{form.steps};
  ToolkitView view(form);
  toolkit.bind(view);
  int yields = 0;
  steps.then(&Steps::download_packages, [&] {
    view.close_after(100);
    for (; !host.closed() && yields < 2000; ++yields) {
      host.DoEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  form.Label3(1).Click();  // the install run; the update list would follow
  EXPECT_TRUE(host.closed());
  EXPECT_LT(yields, 2000);
  EXPECT_FALSE(view.window_shown());
  form.Timer4.Tick();
  EXPECT_EQ(steps.calls, Calls{"download_packages"});
  EXPECT_TRUE(host.closed());
  EXPECT_TRUE(toolkit.loop_told_to_end());
  shared_variables() = SharedVariables{};
}

// A box over the window leaves its close working (a window that a modal box
// blocks or disables takes no close, from its close button or the window
// manager), while the window's controls take no input. The answer still
// counts; closing the window ends the box without one, and the host says so.
TEST_F(Host, ABoxOverTheWindowLeavesItsCloseButtonWorkingButItsControlsQuiet) {
  show_package_panel();
  int clicks = 0;
  count_calls(form.Label3(1).on_click, clicks);
  ToolkitHost toolkit;
  toolkit.bind(*view);

  bool takes_close = false;
  std::string text;
  int stage = 0;
  {
    const WhileABoxIsUp user([&] {
      switch (stage++) {
        case 0:
          text = box_text();
          takes_close = view->takes_close();
          move_box_aside();  // out of the way of the button, which is then clicked
          view->click(form.Label3(1));
          view->type_space();
          return true;
        default:
          answer_box(MsgResult::Retry);
          return false;
      }
    });
    EXPECT_EQ(toolkit.host().MsgBox("Frage", MsgButtons::RetryCancel, kApplicationTitle), MsgResult::Retry);
  }
  EXPECT_EQ(text, "Frage");
  EXPECT_TRUE(takes_close);
  EXPECT_EQ(clicks, 0);
  view->click(form.Label3(1));
  view->pump(200);
  EXPECT_EQ(clicks, 1) << "the controls take input again once the box is gone";

  bool box_was_up = false;
  {
    const WhileABoxIsUp user([&] {
      box_was_up = true;
      // A window that took no close would leave the box to be answered.
      if (view->takes_close())
        view->close();
      else
        answer_box(MsgResult::OK);
      return false;
    });
    EXPECT_EQ(toolkit.host().MsgBox("Übertragunsfehler", MsgButtons::OK, kApplicationTitle), MsgResult::OK);
  }
  EXPECT_TRUE(box_was_up);
  EXPECT_TRUE(toolkit.host().closed());
  EXPECT_FALSE(view->window_shown());
  EXPECT_FALSE(box_up());
  EXPECT_TRUE(toolkit.loop_told_to_end());
}

}  // namespace
}  // namespace qor::test
