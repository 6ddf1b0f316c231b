// The window's controls as designed: containers, places, texts, fonts,
// colours, visibility, pictures, stacking and tab order.
#include "window/QOR_sync_FRM.hpp"

namespace qor {
namespace {

constexpr const char* kArial = "Arial";
const FontSpec kHeadingFont{kArial, 15.75, true};
const FontSpec kTextFont{kArial, 12, false};

void picture_box(PictureBox& box, Control& container, float l, float t, float w, float h, bool shown, Colour back,
                 Colour fore) {
  container.add_child(box);
  box.place(l, t, w, h);
  box.Visible.set_quietly(shown);
  box.BackColor.set_quietly(back);
  box.ForeColor.set_quietly(fore);
}

void label(Label& lbl, Control& container, float l, float t, float w, float h, bool shown, const char* caption,
           const FontSpec& font, TextAlignment alignment, Background back_style) {
  container.add_child(lbl);
  lbl.place(l, t, w, h);
  lbl.Visible.set_quietly(shown);
  lbl.Caption.set_quietly(caption);
  lbl.Font = font;
  lbl.FontBold.set_quietly(font.Bold);
  lbl.Alignment = alignment;
  lbl.BackStyle = back_style;
}

void image(Image& img, Control& container, float l, float t, const char* asset, const char* tag = "") {
  container.add_child(img);
  // An image is as large as its picture: 480 x 495 for the logo, 705 x 465 for a flag.
  const bool logo = std::string(asset) == "logo";
  img.place(l, t, logo ? 480 : 705, logo ? 495 : 465);
  img.Picture.set_quietly(PictureAsset{asset});
  img.Tag = tag;
}

void list_box(ListBox& list, Control& container, float l, float t, float w, float h, bool shown, const FontSpec& font) {
  container.add_child(list);
  list.place(l, t, w, h);
  list.Visible.set_quietly(shown);
  list.Font = font;
}

void command(CommandButton& button, Control& container, float l, float t, float w, float h, const char* caption) {
  container.add_child(button);
  button.place(l, t, w, h);
  button.Visible.set_quietly(false);
  button.Caption.set_quietly(caption);
}

}  // namespace

void QOR_sync_FRM::build_control_set() {
  Form.place(0, 0, 8415, 8340);  // outer size; the view reports the real one
  constexpr Colour kDefaultBack = kSystemButtonFace;
  constexpr Colour kDefaultFore = kSystemButtonText;
  constexpr Colour kWindowBack = kSystemWindowBackground;
  constexpr Colour kWindowFore = kSystemWindowText;

  picture_box(Picture1(9), Form, 1440, 1590, 3915, 5655, true, kWindowBack, kWindowFore);
  picture_box(Picture1(0), Form, 270, 1320, 3435, 5475, false, kDefaultBack, kDefaultFore);
  picture_box(Picture1(1), Form, 3120, 1140, 4725, 6645, false, kDefaultBack, kDefaultFore);
  picture_box(Picture1(2), Form, 5070, 1140, 2355, 2985, false, kWindowBack, kWindowFore);
  picture_box(Picture1(10), Form, 2190, 1170, 2355, 1155, true, kWindowBack, kWindowFore);
  picture_box(Picture30, Form, 0, 0, 12105, 1005, false, kWindowBack, kWindowFore);
  picture_box(Picture3(0), Picture1(0), 420, 4320, 2085, 645, true, kDefaultBack, kDefaultFore);
  picture_box(Picture3(1), Picture1(1), 210, 3960, 2085, 645, true, kDefaultBack, kDefaultFore);
  picture_box(Picture3(2), Picture1(1), 180, 4650, 2085, 645, true, kDefaultBack, kDefaultFore);
  picture_box(Picture3(3), Picture1(2), 180, 1020, 2085, 645, true, kDefaultBack, kDefaultFore);
  Picture3.for_each([](PictureBox& box) { box.BorderStyle = Border::FixedSingle3D; });
  picture_box(Picture2, Picture1(1), 210, 6210, 915, 345, false, 0x0080FF80, kDefaultFore);

  // Stacking on the window, top to bottom: Picture1(0), Picture1(9),
  // Picture1(2), Picture1(1), Picture30, Picture1(10).
  Picture1(0).ZOrder = 6;
  Picture1(9).ZOrder = 5;
  Picture1(2).ZOrder = 4;
  Picture1(1).ZOrder = 3;
  Picture30.ZOrder = 2;
  Picture1(10).ZOrder = 1;

  const auto left = TextAlignment::Left;
  const auto centre = TextAlignment::Centre;
  const auto transparent = Background::Transparent;
  const auto opaque = Background::Opaque;
  label(Label7(5), Picture1(9), 690, 1530, 2595, 465, true, "Label7", kHeadingFont, centre, transparent);
  label(Label7(6), Picture1(9), 990, 3630, 4065, 465, true, "Label7", kTextFont, centre, transparent);
  label(Label7(7), Picture1(9), 690, 4770, 2595, 795, false, "Label7", kHeadingFont, centre, transparent);
  Label7(7).ForeColor.set_quietly(0x000000FF);
  label(Label6(0), Picture30, 360, 360, 9765, 465, true, "Label6", kHeadingFont, left, transparent);
  label(Label6(1), Picture1(0), 270, 330, 9765, 465, true, "Label6", kHeadingFont, left, transparent);
  label(Label6(2), Picture1(1), 360, 150, 9765, 465, true, "Label6", kHeadingFont, left, transparent);
  label(Label6(3), Picture1(1), 390, 360, 9765, 465, true, "Label6", kHeadingFont, left, transparent);
  label(Label6(4), Picture1(2), 150, 180, 9765, 465, true, "Label6", kHeadingFont, left, transparent);
  label(Label3(0), Picture3(0), 60, 60, 1875, 315, true, "Label3", kTextFont, centre, opaque);
  label(Label3(1), Picture3(1), 60, 90, 1875, 315, true, "Label3", kTextFont, centre, opaque);
  label(Label3(2), Picture3(2), 60, 60, 1875, 315, true, "Label3", kTextFont, centre, opaque);
  label(Label3(3), Picture3(3), 60, 60, 1875, 315, true, "Label3", kTextFont, centre, opaque);
  label(Label1(0), Form, 11100, 2940, 2745, 315, true, "Label1", FontSpec{}, left, opaque);
  label(Label1(1), Form, 11100, 3300, 2745, 315, true, "Label1", FontSpec{}, left, opaque);
  label(Label1(2), Form, 11070, 3660, 2745, 315, true, "Label1", FontSpec{}, left, opaque);
  label(Label1(3), Form, 11070, 4020, 2745, 315, true, "Label1", FontSpec{}, left, opaque);

  image(Image2, Picture1(9), 2550, 360, "logo");
  image(Image100, Picture30, 10590, 300, "logo");
  image(Image1(0), Picture1(9), 1890, 2790, "lang_de_p", "de");
  image(Image1(1), Picture1(9), 2700, 2760, "lang_en_p", "en");
  image(Image3(0), Form, 8940, 1410, "lang_de_a");
  image(Image3(1), Form, 10560, 1410, "lang_en_a");
  image(Image4(0), Form, 8970, 2040, "lang_de_p");
  image(Image4(1), Form, 10200, 2070, "lang_en_p");

  list_box(List2, Picture1(0), 240, 1170, 2925, 3000, true, kTextFont);
  list_box(List3, Picture1(1), 420, 960, 3405, 2760, true, kTextFont);
  list_box(List1, Form, 10350, 6000, 2925, 2595, false, FontSpec{});
  list_box(List4, Form, 13680, 2220, 2955, 2400, true, FontSpec{});
  command(Command1, Form, 7890, 6660, 2235, 375, "updates listen");
  command(Command3, Form, 7380, 3090, 2055, 435, "connect");
  command(Command4, Form, 7410, 3750, 2025, 345, "download");

  for (Timer* timer : {&Timer1, &Timer2, &Timer3, &Timer4}) {
    Form.add_child(*timer);
    timer->Interval = 100;
  }

  Control* tab_order[] = {&Command1,  &List1,       &List4,     &Command3,    &Label1(0),    &Label1(1),   &Label1(2),
                          &Label1(3), &Command4,    &Picture30, &Label6(0),   &Picture1(0),  &List2,       &Picture1(1),
                          &List3,     &Label6(1),   &Label6(2), &Label6(3),   &Picture1(10), &Picture1(9), &Picture1(2),
                          &Label6(4), &Picture2,    &Label7(5), &Label7(6),   &Picture3(0),  &Label3(0),   &Picture3(1),
                          &Label3(1), &Picture3(2), &Label3(2), &Picture3(3), &Label3(3),    &Label7(7)};
  int tab = 0;
  for (Control* control : tab_order) control->TabIndex = tab++;
}

}  // namespace qor
