// The layout pass (the window's Resize event) and apply_colours.
#include <cmath>
#include <cstdint>

#include "window/QOR_sync_FRM.hpp"
#include "window/colour.hpp"

namespace qor {

bool FormWindow::take_sizes(float scale_width, float scale_height, float outer_width) {
  if (sized_ && scale_width == ScaleWidth && scale_height == ScaleHeight && outer_width == Width.get()) return false;
  sized_ = true;
  ScaleWidth = scale_width;
  ScaleHeight = scale_height;
  Width = outer_width;
  return true;
}

void QOR_sync_FRM::Form_Resize() {
  const double W = Form.ScaleWidth;
  const double H = Form.ScaleHeight;
  if (H < 7000) return;
  if (W < 6000) return;

  // The margin follows the folder panel's left edge, rounded to whole twips.
  const std::int32_t m = static_cast<std::int32_t>(std::lround(static_cast<double>(Picture1(0).Left)));
  const auto d = [](const Prop<float>& p) { return static_cast<double>(p.get()); };
  const auto f = [](double v) { return static_cast<float>(v); };

  PictureBox& language_panel = Picture1(9);
  language_panel.Left = 0;
  language_panel.Top = 0;
  language_panel.Width = f(W);
  language_panel.Height = f(H);

  Image2.Left = f(d(language_panel.Width) * 0.5 - d(Image2.Width) * 0.5);
  Image2.Top = Picture30.Height;

  Label7(5).Left = f(m);
  Label7(5).Top = f(d(Image2.Height) + d(Image2.Top) + 3 * m);
  Label7(5).Width = f(d(language_panel.Width) - 2 * m);

  Image1(0).Left = f(d(language_panel.Width) * 0.5 - d(Image1(0).Width) * 1.1);
  Image1(0).Top = f(d(language_panel.Height) * 0.5);
  Image1(1).Left = f(d(Image1(1).Width) * 0.1 + d(language_panel.Width) * 0.5);
  Image1(1).Top = f(d(language_panel.Height) * 0.5);

  Label7(6).Left = f(m);
  Label7(6).Top = f(d(Image1(0).Height) + d(Image1(0).Top) + 2 * m);
  Label7(6).Width = f(d(language_panel.Width) - 2 * m);

  Label7(7).Left = f(m);
  Label7(7).Top = f(d(language_panel.Height) - 6 * m);
  Label7(7).Width = f(d(language_panel.Width) - 2 * m);

  Picture30.Width = Form.Width;

  Image100.Left = f(W - d(Image100.Width) * 1.5);
  Image100.Top = f(d(Picture30.Height) * 0.5 - d(Image100.Height) * 0.5);

  for (int i : {0, 1, 2, 10}) {
    PictureBox& panel = Picture1(i);
    panel.Left = f(m);
    panel.Top = f(d(Picture30.Height) + m);
    panel.Width = f(W - 2 * m);
    panel.Height = f(H - d(panel.Top) - m);
  }

  Picture2.Height = f(m * 0.5);
  Picture2.Left = 0;
  Picture2.Top = f(d(Picture1(0).Height) - d(Picture2.Height));

  Label6.for_each([&](Label& heading) {
    heading.Left = f(m);
    heading.Top = f(m);
  });

  const PictureBox& page = Picture1(1);
  List2.Left = f(m);
  List2.Top = f(4 * m);
  List2.Width = f(d(page.Width) * 0.5 - 2 * m);
  List2.Height = f(d(page.Height) * 0.5);

  PictureBox& button0 = Picture3(0);
  button0.Width = f(d(page.Width) * 0.5);
  button0.Left = f(d(page.Width) - d(button0.Width) - m);
  button0.Height = f(2 * m);
  button0.Top = f(d(page.Height) - m * 3.5);
  for (int i : {1, 2}) {
    Picture3(i).Width = button0.Width;
    Picture3(i).Left = button0.Left;
    Picture3(i).Height = button0.Height;
    Picture3(i).Top = button0.Top;
  }
  PictureBox& button3 = Picture3(3);
  button3.Width = button0.Width;
  button3.Left = f(d(page.Width) * 0.5 - d(button3.Width) * 0.5);
  button3.Height = button0.Height;
  button3.Top = f(d(page.Height) * 0.7);

  Label3.for_each([&](Label& caption) {
    const PictureBox& box = Picture3(caption.Index());
    caption.Left = 0;
    caption.Top = f(d(box.Height) * 0.5 - d(caption.Height) * 0.5);
    caption.Width = box.Width;
  });
}

void QOR_sync_FRM::apply_colours() {
  const QOR_sync_MOD& mod = shared().mod;
  // A colour the toolkit cannot show is not assigned: the control keeps
  // what it had instead of the whole caption step failing.
  const auto assign = [](Prop<Colour>& target, Colour colour) {
    if (colour_is_showable(colour)) target = colour;
  };
  assign(Form.BackColor, mod.colour_list);
  assign(Picture30.BackColor, mod.colour_head);
  Label6.for_each([&](Label& heading) { assign(heading.ForeColor, mod.colour_thead); });
  for (int i : {0, 1, 2, 10}) assign(Picture1(i).BackColor, mod.colour_head);
  assign(List2.BackColor, mod.colour_list);
  assign(List2.ForeColor, mod.colour_tlist);
  assign(List3.BackColor, mod.colour_list);
  assign(List3.ForeColor, mod.colour_tlist);
}

}  // namespace qor
