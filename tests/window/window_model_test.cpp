// The window model without a display: layout, colours, step flow.
#include <gtest/gtest.h>

#include "QOR_sync_FRM.hpp"

namespace qor {
namespace {

class NullHost : public FormHost {
 public:
  MsgResult MsgBox(const std::string&, MsgButtons, const std::string&) override { return MsgResult::OK; }
  void DoEvents() override {}
  void Unload() override {}
};

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

TEST(Layout, DesignSizeGivesTheTable) {
  NullHost host;
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

}  // namespace
}  // namespace qor
