// Real pointer input and timer ticks reaching the handlers the window wires:
// each control gets the events over its own area, a Click is a press and a
// release on the same control, a double click is one Click, and errors
// never cross the event loop.
#include "tests/support/timer_drain.hpp"
#include "tests/window/contract/contract_fixture.hpp"

namespace qor::test {
namespace {

class Input : public ToolkitContract {};

TEST_F(Input, FlagClicksReachTheLanguageChoice) {
  steps.then(&Steps::load_captions, [this] {
    form.Picture30.Visible = true;
    form.Picture1(9).Visible = false;
  });
  steps.online = false;
  view->click(form.Image1(1));
  EXPECT_EQ(shared_variables().mod.language, "en");
  EXPECT_TRUE(form.Label7(7).Visible);
  view->pump(150);
  EXPECT_GT(view->ink(form.Label7(7), {255, 255, 255}), 0) << "the offline message is drawn";
  view->pump(ToolkitView::double_click_time() + 100);  // the next click is one of its own
  steps.online = true;
  view->click(form.Image1(0));
  EXPECT_EQ(shared_variables().mod.language, "de");
  EXPECT_FALSE(view->shown(form.Picture1(9)));
  EXPECT_TRUE(view->shown(form.Picture30));
  EXPECT_EQ(steps.calls, (Calls{"check_internet", "check_internet", "load_captions"}));
}

TEST_F(Input, PanelButtonClicksReachTheCaptionOrTheBox) {
  show_package_panel();
  int label_clicks = 0, box_clicks = 0;
  count_calls(form.Label3(1).on_click, label_clicks);
  count_calls(form.Picture3(1).on_click, box_clicks);

  view->click(form.Label3(1));
  EXPECT_EQ(label_clicks, 1);
  EXPECT_EQ(box_clicks, 0);
  EXPECT_TRUE(form.Timer4.Enabled);

  // Another control right after: a press of its own, not a double click.
  view->click(form.Picture3(1), {4, 4});  // inside the box, above its caption
  EXPECT_EQ(label_clicks, 1);
  EXPECT_EQ(box_clicks, 1);
  EXPECT_EQ(steps.count("download_packages"), 2);

  // A press on one control and a release over another is no click.
  const int pause = ToolkitView::double_click_time() + 100;
  view->pump(pause);
  view->press(form.Label3(1));
  view->release(form.List3);
  view->pump(pause);
  view->press(form.Label3(1));
  view->release(form.Picture3(1), {4, 4});
  EXPECT_EQ(label_clicks + box_clicks, 2);
}

// The next panel's button stands where the last one stood: a user who clicks
// twice at that spot within the double-click time clicks both buttons.
TEST_F(Input, AQuickSecondClickReachesTheButtonThatTookTheFirstOnesPlace) {
  steps.then(&Steps::list_new_packages, [this] {
    form.List2.AddItem("Bilder");
    form.Picture1(0).Visible = true;
  });
  steps.then(&Steps::list_install_packages, [this] {
    form.List3.AddItem("a.exe");
    form.Picture3(1).Visible = true;
    form.Picture3(2).Visible = false;
    form.Picture1(1).Visible = true;
  });
  form.Picture1(9).Visible = false;
  form.Timer2.Tick();  // the folder panel
  view->pump(100);
  // The install list comes up before the second press arrives.
  form.Picture3(0).on_click = [this, folder = form.Picture3(0).on_click] {
    folder();
    run_timers(form);
  };
  view->double_click(form.Picture3(0), {4, 4});
  EXPECT_FALSE(view->shown(form.Picture1(0)));
  EXPECT_TRUE(view->shown(form.Picture3(1)));
  EXPECT_EQ(steps.calls, (Calls{"list_new_packages", "list_install_packages", "download_packages"}));
}

TEST_F(Input, ADoubleClickOnAButtonIsOneClick) {
  show_package_panel();
  int box_clicks = 0, label_clicks = 0;
  count_calls(form.Picture3(1).on_click, box_clicks);
  count_calls(form.Label3(1).on_click, label_clicks);
  view->double_click(form.Picture3(1), {4, 4});
  view->double_click(form.Label3(1));
  EXPECT_EQ(box_clicks, 1);
  EXPECT_EQ(label_clicks, 1);
  EXPECT_EQ(steps.count("download_packages"), 2);
  // A third press counts afresh, and so does one after the double-click time.
  view->click(form.Label3(1));
  EXPECT_EQ(label_clicks, 2);
  view->pump(ToolkitView::double_click_time() + 100);
  view->click(form.Label3(1));
  EXPECT_EQ(label_clicks, 3);
}

TEST_F(Input, ClickingARowSelectsItAndIsTheListsClick) {
  show_package_panel();
  form.List3.AddItem("a.exe");
  form.List3.AddItem("b.exe");
  view->pump();
  int list_clicks = 0;
  count_calls(form.List3.on_click, list_clicks);
  view->click(form.List3, view->list_row(form.List3, 1));
  EXPECT_EQ(list_clicks, 1);
  EXPECT_EQ(view->list_selection(form.List3), 1);
}

TEST_F(Input, HoverOnFlagsAndButtons) {
  int picture_assignments = 0;
  struct Forward : ControlObserver {
    ControlObserver& next;
    int& pictures;
    Forward(ControlObserver& n, int& p) : next(n), pictures(p) {}
    void changed(Control& c, Aspect a) override {
      if (a == Aspect::Picture) ++pictures;
      next.changed(c, a);
    }
  } forward(view->observer(), picture_assignments);
  form.Image1(0).set_observer(&forward);

  const Rgb plain = view->pixel(form.Image1(0), {21, 27});
  view->move_to(form.Image1(0));
  view->move_to(form.Image1(0), {3, 3});
  view->move_to(form.Image1(0), {40, 25});
  EXPECT_EQ(form.Image1(0).Picture.get().asset, "lang_de_a");
  EXPECT_EQ(picture_assignments, 1);
  view->pump(100);
  EXPECT_NE(view->pixel(form.Image1(0), {21, 27}), plain) << "the full-colour flag is drawn";

  // Moves over the title or the logo are theirs, not the panel's.
  view->move_to(form.Label7(5));
  view->move_to(form.Image2);
  EXPECT_EQ(form.Image1(0).Picture.get().asset, "lang_de_a");

  view->move_to(form.Picture1(9), {5, 5});
  EXPECT_EQ(form.Image1(0).Picture.get().asset, "lang_de_p");
  EXPECT_EQ(picture_assignments, 2);
  view->pump(100);
  EXPECT_EQ(view->pixel(form.Image1(0), {21, 27}), plain);

  show_package_panel();
  view->move_to(form.Label3(1));
  EXPECT_TRUE(form.Label3(1).FontBold);
  view->move_to(form.Picture3(1), {4, 4});
  EXPECT_TRUE(form.Label3(1).FontBold);
  EXPECT_EQ(form.hover_label, &form.Label3(1));
  view->move_to(form.Picture1(1), {5, 5});
  EXPECT_FALSE(form.Label3(1).FontBold);
  form.Image1(0).set_observer(&view->observer());
}

// The chain goes on by the timers the steps enable, each after its interval.
TEST_F(Input, ATimerEnabledTwiceStartsItsStepOnce) {
  steps.then(&Steps::list_new_packages, [this] { form.Timer3.Enabled = true; });
  steps.then(&Steps::list_install_packages, [this] { form.Timer4.Enabled = true; });
  steps.then(&Steps::list_update_packages, [this] { form.Picture1(2).Visible = true; });
  form.Timer2.Enabled = true;
  form.Timer2.Enabled = true;
  EXPECT_TRUE(view->timer_running(form.Timer2));
  EXPECT_TRUE(view->pump_until([this] { return steps.count("list_update_packages") > 0; }, 5000));
  view->pump(300);  // time for a second tick, were there one
  EXPECT_EQ(steps.count("list_new_packages"), 1);
  EXPECT_EQ(steps.count("list_install_packages"), 1);  // the chain went on by Timer3
  EXPECT_EQ(steps.count("list_update_packages"), 1);
  EXPECT_FALSE(form.Timer2.Enabled);
  EXPECT_FALSE(view->timer_running(form.Timer2));
  EXPECT_TRUE(view->shown(form.Picture1(2)));
}

TEST_F(Input, AnErrorEscapingAHandlerIsReportedNotThrownThroughTheLoop) {
  form.steps.check_internet = []() -> bool { throw std::runtime_error("probe broke"); };
  view->click(form.Image1(0));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("probe broke"), std::string::npos);
  EXPECT_EQ(host.messages[0].caption, kApplicationTitle);
  EXPECT_TRUE(view->window_shown());
}

}  // namespace
}  // namespace qor::test
