// Real pointer input and timer ticks reaching the handlers the window wires:
// each control gets the events over its own area, a Click is a press and a
// release on the same control, and errors never cross the message loop.
#include "tests/platform/win32/window/binding_fixture.hpp"

namespace qor::test {
namespace {

TEST_F(Binding, FlagClicksReachTheLanguageChoice) {
  steps.then(&Steps::load_captions, [this] {
    form.Picture30.Visible = true;
    form.Picture1(9).Visible = false;
  });
  steps.online = false;
  click(at(form.Image1(1)));
  EXPECT_EQ(shared_variables().mod.language, "en");
  EXPECT_TRUE(form.Label7(7).Visible);
  pump(700);  // past the double-click time: the next click is a click of its own
  steps.online = true;
  click(at(form.Image1(0)));
  EXPECT_EQ(shared_variables().mod.language, "de");
  EXPECT_FALSE(IsWindowVisible(view->handle(form.Picture1(9))));
  EXPECT_TRUE(IsWindowVisible(view->handle(form.Picture30)));
  EXPECT_EQ(steps.calls, (Calls{"check_internet", "check_internet", "load_captions"}));
}

TEST_F(Binding, PanelButtonClicksReachTheCaptionOrTheBox) {
  show_package_panel();
  int label_clicks = 0, box_clicks = 0;
  count_calls(form.Label3(1).on_click, label_clicks);
  count_calls(form.Picture3(1).on_click, box_clicks);

  click(at(form.Label3(1)));
  EXPECT_EQ(label_clicks, 1);
  EXPECT_EQ(box_clicks, 0);
  EXPECT_TRUE(form.Timer4.Enabled);

  // Another control right after: a press of its own, not a double click.
  click(at(form.Picture3(1), {4, 4}));  // inside the box, above its caption
  EXPECT_EQ(label_clicks, 1);
  EXPECT_EQ(box_clicks, 1);
  EXPECT_EQ(steps.count("download_packages"), 2);

  // A press on one control and a release over another is no click.
  pump(700);
  press(at(form.Label3(1)));
  release(at(form.List3));
  pump(700);
  press(at(form.Label3(1)));
  release(at(form.Picture3(1), {4, 4}));
  EXPECT_EQ(label_clicks + box_clicks, 2);
}

TEST_F(Binding, ADoubleClickIsOneClick) {
  show_package_panel();
  // Counted only: the real handler would move on to the next panel.
  int clicks = 0;
  form.Label3(1).on_click = [&clicks] { ++clicks; };
  const POINT caption = at(form.Label3(1));
  click(caption);
  click(caption);
  EXPECT_EQ(clicks, 1);
  // A third press counts afresh, and so does one after the double-click time.
  click(caption);
  EXPECT_EQ(clicks, 2);
  pump(static_cast<int>(GetDoubleClickTime()) + 100);
  click(caption);
  EXPECT_EQ(clicks, 3);
}

TEST_F(Binding, ListSelectionIsTheListsClick) {
  show_package_panel();
  form.List3.AddItem("a.exe");
  form.List3.AddItem("b.exe");
  int list_clicks = 0;
  count_calls(form.List3.on_click, list_clicks);
  const HWND list = view->handle(form.List3);
  RECT item;
  SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&item), 2);
  click({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
  EXPECT_EQ(list_clicks, 1);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
}

TEST_F(Binding, HoverOnFlagsAndButtons) {
  int picture_assignments = 0;
  struct Forward : ControlObserver {
    ControlObserver& next;
    int& pictures;
    Forward(ControlObserver& n, int& p) : next(n), pictures(p) {}
    void changed(Control& c, Aspect a) override {
      if (a == Aspect::Picture) ++pictures;
      next.changed(c, a);
    }
  } forward(*view, picture_assignments);
  form.Image1(0).set_observer(&forward);

  const COLORREF plain = screen_pixel(at(form.Image1(0), {21, 27}));
  move_to(at(form.Image1(0)));
  move_to(at(form.Image1(0), {3, 3}));
  move_to(at(form.Image1(0), {40, 25}));
  EXPECT_EQ(form.Image1(0).Picture.get().asset, "lang_de_a");
  EXPECT_EQ(picture_assignments, 1);
  pump(100);
  EXPECT_NE(screen_pixel(at(form.Image1(0), {21, 27})), plain);  // the full-colour flag is drawn

  // Moves over the title or the logo are theirs, not the panel's.
  move_to(at(form.Label7(5)));
  move_to(at(form.Image2));
  EXPECT_EQ(form.Image1(0).Picture.get().asset, "lang_de_a");

  move_to(at(form.Picture1(9), {5, 5}));
  EXPECT_EQ(form.Image1(0).Picture.get().asset, "lang_de_p");
  EXPECT_EQ(picture_assignments, 2);
  pump(100);
  EXPECT_EQ(screen_pixel(at(form.Image1(0), {21, 27})), plain);

  show_package_panel();
  move_to(at(form.Label3(1)));
  EXPECT_TRUE(form.Label3(1).FontBold);
  move_to(at(form.Picture3(1), {4, 4}));
  EXPECT_EQ(form.hover_label, &form.Label3(1));
  move_to(at(form.Picture1(1), {5, 5}));
  EXPECT_FALSE(form.Label3(1).FontBold);
  form.Image1(0).set_observer(view.get());
}

TEST_F(Binding, TabMovesTheFocusInTabOrderPastWhatIsNotShown) {
  show_package_panel();
  const HWND list3 = view->handle(form.List3);  // TabIndex 14
  const HWND list4 = view->handle(form.List4);  // TabIndex 2, shown (outside the client area)
  SetFocus(list3);
  MSG key{list3, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  // Round past the end; the hidden buttons and List1, and List2 in its hidden panel, are passed.
  EXPECT_TRUE(view->tab_key(key));
  EXPECT_EQ(GetFocus(), list4);
  key.hwnd = list4;
  EXPECT_TRUE(view->tab_key(key));
  EXPECT_EQ(GetFocus(), list3);

  form.Command1.Visible = true;  // TabIndex 0
  key.hwnd = list3;
  EXPECT_TRUE(view->tab_key(key));
  EXPECT_EQ(GetFocus(), view->handle(form.Command1));

  MSG other{list3, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
  EXPECT_FALSE(view->tab_key(other));
}

// The chain goes on by the timers the steps enable, each after its interval.
TEST_F(Binding, ATimerEnabledTwiceStartsItsStepOnce) {
  steps.then(&Steps::list_new_packages, [this] { form.Timer3.Enabled = true; });
  steps.then(&Steps::list_install_packages, [this] { form.Timer4.Enabled = true; });
  steps.then(&Steps::list_update_packages, [this] { form.Picture1(2).Visible = true; });
  form.Timer2.Enabled = true;
  form.Timer2.Enabled = true;
  EXPECT_TRUE(view->timer_running(form.Timer2));
  pump(700);
  EXPECT_EQ(steps.count("list_new_packages"), 1);
  EXPECT_EQ(steps.count("list_install_packages"), 1);  // the chain went on by Timer3
  EXPECT_EQ(steps.count("list_update_packages"), 1);
  EXPECT_FALSE(form.Timer2.Enabled);
  EXPECT_FALSE(view->timer_running(form.Timer2));
  EXPECT_TRUE(IsWindowVisible(view->handle(form.Picture1(2))));
}

TEST_F(Binding, AnErrorEscapingAHandlerIsReportedNotThrownThroughTheLoop) {
  form.steps.check_internet = []() -> bool { throw std::runtime_error("probe broke"); };
  click(at(form.Image1(0)));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("probe broke"), std::string::npos);
  EXPECT_EQ(host.messages[0].caption, kApplicationTitle);
  EXPECT_TRUE(IsWindowVisible(view->window()));
}

}  // namespace
}  // namespace qor::test
