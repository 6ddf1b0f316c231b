// The window model without a display: layout, colours, step flow.
#include <array>
#include <map>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/recording_host.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/shown_text.hpp"

namespace qor {
namespace {

using test::RecordingHost;

struct Rect {
  float l, t, w, h;
};

void expect_rect(const Control& c, Rect r) {
  SCOPED_TRACE(c.display_name());
  EXPECT_EQ(c.Left.get(), r.l);
  EXPECT_EQ(c.Top.get(), r.t);
  EXPECT_EQ(c.Width.get(), r.w);
  EXPECT_EQ(c.Height.get(), r.h);
}

TEST(Layout, TheStartingClientSizePlacesEveryPanelAndControl) {
  RecordingHost host;
  QOR_sync_FRM form({&host, nullptr, "/tmp"});
  form.Form.Width.set_quietly(8415);
  form.layout_pass();
  expect_rect(form.Picture1(9), {0, 0, 8325, 7935});
  expect_rect(form.Image2, {3922.5, 1005, 480, 495});
  expect_rect(form.Label7(5), {270, 2310, 7785, 465});
  expect_rect(form.Image1(0), {3387, 3967.5, 705, 465});
  expect_rect(form.Image1(1), {4233, 3967.5, 705, 465});
  expect_rect(form.Label7(6), {270, 4972.5, 7785, 465});
  expect_rect(form.Label7(7), {270, 6315, 7785, 795});
  expect_rect(form.Picture30, {0, 0, 8415, 1005});
  expect_rect(form.Image100, {7605, 255, 480, 495});
  for (int i : {0, 1, 2, 10}) expect_rect(form.Picture1(i), {270, 1275, 7785, 6390});
  expect_rect(form.Picture2, {0, 6255, 915, 135});
  for (int i = 0; i <= 4; ++i) expect_rect(form.Label6(i), {270, 270, 9765, 465});
  expect_rect(form.List2, {270, 1080, 3352.5, 3195});
  for (int i = 0; i <= 2; ++i) expect_rect(form.Picture3(i), {3622.5, 5445, 3892.5, 540});
  expect_rect(form.Picture3(3), {1946.25, 4473, 3892.5, 540});
  for (int i = 0; i <= 3; ++i) expect_rect(form.Label3(i), {0, 112.5, 3892.5, 315});
  expect_rect(form.List3, {420, 960, 3405, 2760});
}

// Every control's geometry, to compare whole layouts.
std::vector<std::array<float, 4>> geometry(QOR_sync_FRM& form) {
  std::vector<std::array<float, 4>> out;
  form.for_each_control([&out](Control& c) {
    out.push_back({c.Left.get(), c.Top.get(), c.Width.get(), c.Height.get()});
  });
  return out;
}

TEST(Layout, SmallestAdmittedSizeIsLaidOutAndSmallerChangesNothing) {
  RecordingHost host;
  QOR_sync_FRM form({&host, nullptr, "/tmp"});
  const auto design = geometry(form);
  for (auto [w, h] : {std::pair{5999.f, 7000.f}, std::pair{6000.f, 6999.f}, std::pair{0.f, 0.f}}) {
    form.Form.ScaleWidth = w;
    form.Form.ScaleHeight = h;
    form.layout_pass();
    EXPECT_EQ(geometry(form), design) << w << " x " << h;
  }
  form.Form.ScaleWidth = 6000;
  form.Form.ScaleHeight = 7000;
  form.layout_pass();
  expect_rect(form.Picture1(1), {270, 1275, 5460, 5455});
  EXPECT_EQ(form.List2.Width.get(), 2190);
  EXPECT_GT(form.List2.Height.get(), 0);
  EXPECT_GT(form.Picture3(0).Width.get(), 0);
}

TEST(Layout, APassIsDueAtTheFirstSizesAndWhenOneOfThemChanges) {
  FormWindow form;
  EXPECT_TRUE(form.take_sizes(8325, 7935, 8415)) << "the design's own sizes still need a first pass";
  EXPECT_EQ(form.Width.get(), 8415);
  EXPECT_FALSE(form.take_sizes(8325, 7935, 8415));
  EXPECT_TRUE(form.take_sizes(8325, 7935, 8430));
  EXPECT_TRUE(form.take_sizes(8325, 8000, 8430));
  EXPECT_TRUE(form.take_sizes(9000, 8000, 8430));
  EXPECT_EQ(form.ScaleWidth, 9000);
  EXPECT_EQ(form.ScaleHeight, 8000);
  EXPECT_FALSE(form.take_sizes(9000, 8000, 8430));
}

TEST(Layout, SecondPassIsIdenticalAndKeepsTheMargin) {
  RecordingHost host;
  QOR_sync_FRM form({&host, nullptr, "/tmp"});
  form.Form.ScaleWidth = 9000;
  form.Form.ScaleHeight = 8000;
  form.Form.Width.set_quietly(9090);
  form.layout_pass();
  const auto first = geometry(form);
  form.layout_pass();
  EXPECT_EQ(geometry(form), first);
  EXPECT_EQ(form.Picture1(0).Left.get(), 270);
  EXPECT_EQ(form.Picture30.Width.get(), 9090);
  // Controls out of view stay out of view.
  EXPECT_EQ(form.Label1(0).Left.get(), 11100);
  EXPECT_EQ(form.List4.Left.get(), 13680);
  EXPECT_EQ(form.Image3(0).Left.get(), 8940);
}

class Colours : public ::testing::Test {
 protected:
  Colours() { shared_variables() = SharedVariables{}; }
  ~Colours() override { shared_variables() = SharedVariables{}; }
  RecordingHost host;
  QOR_sync_FRM form{{&host, nullptr, "/tmp"}};
};

TEST_F(Colours, AllZeroPaintsEverythingBlackButTheLanguagePanel) {
  form.apply_colours();
  EXPECT_EQ(form.Form.BackColor.get(), 0);
  EXPECT_EQ(form.Picture30.BackColor.get(), 0);
  for (int i : {0, 1, 2, 10}) EXPECT_EQ(form.Picture1(i).BackColor.get(), 0) << i;
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(form.Label6(i).ForeColor.get(), 0) << i;
  for (ListBox* list : {&form.List2, &form.List3}) {
    EXPECT_EQ(list->BackColor.get(), 0);
    EXPECT_EQ(list->ForeColor.get(), 0);
  }
  EXPECT_EQ(form.Picture1(9).BackColor.get(), kSystemWindowBackground);
  EXPECT_EQ(form.Picture3(0).BackColor.get(), kSystemButtonFace);
  EXPECT_EQ(form.List1.BackColor.get(), kSystemWindowBackground);
}

TEST_F(Colours, AColourThatCannotBeShownIsSkippedAndTheOthersApplied) {
  auto& mod = shared_variables().mod;
  mod.colour_head = -5;                                // names no system colour
  mod.colour_list = static_cast<Colour>(0x80000063u);  // system colour 99 does not exist
  mod.colour_thead = 0x00FFFFFF;
  mod.colour_tlist = 0x000000FF;
  form.apply_colours();
  EXPECT_EQ(form.Picture30.BackColor.get(), kSystemWindowBackground);
  EXPECT_EQ(form.Picture1(0).BackColor.get(), kSystemButtonFace);
  EXPECT_EQ(form.Form.BackColor.get(), 0x00FFFFFF);
  EXPECT_EQ(form.List2.BackColor.get(), kSystemWindowBackground);
  EXPECT_EQ(form.Label6(0).ForeColor.get(), 0x00FFFFFF);
  EXPECT_EQ(form.List3.ForeColor.get(), 0x000000FF);
}

// Counts assignments per control and aspect.
struct AssignmentCounter : ControlObserver {
  std::map<std::pair<const Control*, Aspect>, int> counts;
  void changed(Control& c, Aspect a) override { ++counts[{&c, a}]; }
  int operator()(const Control& c, Aspect a) const {
    const auto found = counts.find({&c, a});
    return found == counts.end() ? 0 : found->second;
  }
};

TEST(PointerFeedback, FlagHighlightFollowsThePointer) {
  RecordingHost host;
  QOR_sync_FRM form({&host, nullptr, "/tmp"});
  AssignmentCounter count;
  form.for_each_control([&count](Control& c) { c.set_observer(&count); });
  const PictureAsset de_p{"lang_de_p"}, de_a{"lang_de_a"}, en_p{"lang_en_p"}, en_a{"lang_en_a"};

  for (int i = 0; i < 5; ++i) form.Image1(0).MouseMove();
  EXPECT_EQ(form.Image1(0).Picture.get(), de_a);
  EXPECT_EQ(count(form.Image1(0), Aspect::Picture), 1);  // no reassignment while moving on one flag

  form.Image1(1).MouseMove();
  EXPECT_EQ(form.Image1(0).Picture.get(), de_p);
  EXPECT_EQ(form.Image1(1).Picture.get(), en_a);
  EXPECT_EQ(count(form.Image1(0), Aspect::Picture), 2);

  // Hiding the panel does not clear the highlight; a move over any panel does.
  form.Picture1(9).Visible = false;
  EXPECT_EQ(form.Image1(1).Picture.get(), en_a);
  form.Picture1(10).MouseMove();
  EXPECT_EQ(form.Image1(1).Picture.get(), en_p);
  EXPECT_EQ(form.hover_image, nullptr);
  form.Picture1(9).MouseMove();
  EXPECT_EQ(count(form.Image1(1), Aspect::Picture), 2);
  // The stores never change.
  EXPECT_EQ(count(form.Image3(0), Aspect::Picture) + count(form.Image4(1), Aspect::Picture), 0);
}

TEST(PointerFeedback, CaptionBoldFollowsThePanelButtons) {
  RecordingHost host;
  QOR_sync_FRM form({&host, nullptr, "/tmp"});
  AssignmentCounter count;
  form.for_each_control([&count](Control& c) { c.set_observer(&count); });

  form.Label3(1).MouseMove();
  form.Picture3(1).MouseMove();  // same button: stays bold, nothing reassigned
  EXPECT_TRUE(form.Label3(1).FontBold);
  EXPECT_EQ(count(form.Label3(1), Aspect::FontBold), 1);

  form.Picture3(2).MouseMove();
  EXPECT_FALSE(form.Label3(1).FontBold);
  EXPECT_TRUE(form.Label3(2).FontBold);

  form.Image1(0).MouseMove();  // flag and caption highlights are independent
  EXPECT_TRUE(form.Label3(2).FontBold);
  form.Picture1(1).MouseMove();
  EXPECT_FALSE(form.Label3(2).FontBold);
  EXPECT_EQ(form.Image1(0).Picture.get(), PictureAsset{"lang_de_p"});
  EXPECT_EQ(form.hover_label, nullptr);
}

// A text of exactly the limit stays whole; a longer one is cut between
// characters, never inside one, and marked as cut.
TEST(ShownText, LongTextsAreCutBetweenCharactersAndMarked) {
  const std::string limit(kShownTextCharacters, 'a');
  std::string umlauts;
  for (std::size_t i = 0; i < kShownTextCharacters; ++i) umlauts += "\xC3\xBC";
  EXPECT_EQ(shown_text(""), "");
  EXPECT_EQ(shown_text(limit), limit);
  EXPECT_EQ(shown_text(umlauts), umlauts);
  EXPECT_EQ(shown_text(umlauts + "\xC3\xBC"), umlauts + "\xE2\x80\xA6");
  EXPECT_EQ(shown_text(limit + "\xF0\x9F\x98\x80" + limit), limit + "\xE2\x80\xA6");
}

}  // namespace
}  // namespace qor
