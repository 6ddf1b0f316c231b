// What the toolkit draws, and where: the window at the design size, the
// language panel, and model changes redrawn, read back as the pixels the
// window shows.
#include <cstdlib>

#include "tests/window/contract/contract_fixture.hpp"

namespace qor::test {
namespace {

class Drawing : public ToolkitContract {};

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlue{0, 0, 255};

bool close_to(Rgb a, Rgb b, int tolerance = 24) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

TEST_F(Drawing, TheWindowHasAFixedSizeAndTheLayoutPassSawIt) {
  EXPECT_EQ(view->title(), "QOR synchro center");
  EXPECT_EQ(view->client_width(), 555);
  EXPECT_EQ(view->client_height(), 529);
  EXPECT_TRUE(view->fixed_size());
  EXPECT_TRUE(view->has_close_button());
  EXPECT_TRUE(view->window_shown());

  // The first layout pass ran with the real client area.
  EXPECT_EQ(form.Form.ScaleWidth, 8325);
  EXPECT_EQ(form.Form.ScaleHeight, 7935);
  EXPECT_GE(form.Form.Width.get(), 8325);
}

TEST_F(Drawing, DrawsTheLanguagePanelAtTheDesignSize) {
  EXPECT_EQ(view->area(form.Picture1(9)), (Area{0, 0, 555, 529}));
  // 3387 x 3967.5 twips: rounded only when drawn; a flag is as large as its picture.
  EXPECT_EQ(view->area(form.Image1(0)), (Area{226, 265, 47, 31}));
  const Area logo = view->area(form.Image2);
  EXPECT_EQ(logo.width, 32);
  EXPECT_EQ(logo.height, 33);

  // The panel is white; the logo's corner is transparent, its middle is not.
  EXPECT_TRUE(close_to(view->pixel(form.Picture1(9), {5, 5}), kWhite));
  EXPECT_TRUE(close_to(view->pixel(form.Image2, {0, 0}), kWhite));
  EXPECT_FALSE(close_to(view->pixel(form.Image2, {16, 8}), kWhite));
  // The German flag's lower band is gold (muted where a raster dots it).
  const Rgb gold = view->pixel(form.Image1(0), {21, 27});
  EXPECT_GT(gold.r, gold.b + 40) << gold;
  // The title is drawn, the offline message is not.
  EXPECT_GT(view->ink(form.Label7(5), kWhite), 100);
  EXPECT_GT(view->ink(form.Label7(6), kWhite), 100);
  EXPECT_EQ(view->ink(form.Label7(7), kWhite), 0);

  EXPECT_FALSE(view->shown(form.Picture30));
  EXPECT_FALSE(view->shown(form.List1));
  EXPECT_FALSE(view->shown(form.Command1));
  EXPECT_GE(view->area(form.Label1(0)).left, 555);  // shown, but out of view
  EXPECT_TRUE(view->sunken(form.Picture3(0)));

  // Stacking on the window, top first: Picture1(0), (9), (2), (1), Picture30, Picture1(10).
  const Control* top_down[] = {&form.Picture1(0), &form.Picture1(9), &form.Picture1(2),
                               &form.Picture1(1), &form.Picture30,   &form.Picture1(10)};
  for (std::size_t i = 1; i < std::size(top_down); ++i) {
    EXPECT_LT(view->stack_position(*top_down[i - 1]), view->stack_position(*top_down[i]))
        << top_down[i - 1]->display_name() << " above " << top_down[i]->display_name();
  }
}

TEST_F(Drawing, ModelChangesAreRedrawn) {
  form.Label7(7).Visible = true;
  view->pump(150);
  const Area message = view->area(form.Label7(7));
  EXPECT_GT(view->ink(form.Label7(7), kWhite), 200);
  // Two lines: ink in the upper and in the lower half.
  EXPECT_GT(view->ink(form.Label7(7), kWhite, 0, message.height / 2), 50);
  EXPECT_GT(view->ink(form.Label7(7), kWhite, message.height / 2), 50);

  form.Picture1(9).Visible = false;       // as the caption step leaves the window
  form.Picture30.BackColor = 0x00FF0000;  // blue in 0x00BBGGRR
  form.Picture30.Visible = true;
  view->pump(150);
  EXPECT_EQ(view->pixel(form.Picture30, {3, 3}), kBlue);
  // A colour the toolkit cannot show is not painted: blue stays.
  form.Picture30.BackColor = -5;
  view->pump(150);
  EXPECT_EQ(view->pixel(form.Picture30, {3, 3}), kBlue);

  // A list in a hidden panel takes its items all the same.
  form.List2.AddItem("PkgA");
  form.List2.AddItem("PkgB");
  view->pump();
  EXPECT_EQ(view->list_items(form.List2), (std::vector<std::string>{"PkgA", "PkgB"}));
  form.List2.Clear();
  view->pump();
  EXPECT_TRUE(view->list_items(form.List2).empty());

  show_package_panel();
  form.List3.AddItem("b.exe");
  form.List3.AddItem("a & b.dll");
  view->pump();
  // Insertion order, texts as they are.
  EXPECT_EQ(view->list_items(form.List3), (std::vector<std::string>{"b.exe", "a & b.dll"}));
  form.List3.BackColor = 0x00C0FFE0;
  view->pump(150);
  const Area list = view->area(form.List3);
  EXPECT_EQ(view->pixel(form.List3, {20, list.height - 8}), (Rgb{0xE0, 0xFF, 0xC0}));
  form.List3.Clear();
  view->pump();
  EXPECT_TRUE(view->list_items(form.List3).empty());

  // A caption turned bold is drawn again, with more ink.
  const Rgb face = view->pixel(form.Picture3(1), {4, 4});
  const int regular = view->ink(form.Label3(1), face);
  form.Label3(1).FontBold = true;
  view->pump(150);
  EXPECT_GT(view->ink(form.Label3(1), face), regular + 10);
}

}  // namespace
}  // namespace qor::test
