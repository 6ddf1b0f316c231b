// The Win32 window's own: its owner and place on the screen, and the
// layout in the screen's units at other DPIs.
#include "tests/window/contract/contract_fixture.hpp"
#include "tests/window/contract/win32_glue.hpp"

namespace qor::test {
namespace {

// The contract suite's window, reached through its Win32 view.
using Binding = ToolkitContract;

// Title, size and frame are the contract suite's (tests/window/contract/);
// the owner and the place on the screen are the Win32 window's own.
TEST_F(Binding, TheWindowIsOwnedByAHiddenWindowAndCentredOnTheWorkArea) {
  const HWND window = native(*view).window();
  const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  EXPECT_EQ(ex_style & WS_EX_APPWINDOW, 0u);
  // Owned by a window that is never shown: no taskbar button.
  EXPECT_EQ(GetWindow(window, GW_OWNER), native(*view).owner());
  EXPECT_FALSE(IsWindowVisible(native(*view).owner()));
  EXPECT_TRUE(IsWindowVisible(window));

  RECT outer, work;
  GetWindowRect(window, &outer);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_LE(std::abs((outer.left + outer.right) - (work.left + work.right)), 1);
  EXPECT_LE(std::abs((outer.top + outer.bottom) - (work.top + work.bottom)), 1);
}

TEST(BindingDpi, TwipsFollowTheScreensDpi) {
  RecordingHost host;
  QOR_sync_FRM form{{&host, [](const std::string&) { return std::unique_ptr<FileSystem>(); }, "C:\\qor"}};
  win32::FormView view(form, win32::ScreenUnits(120));  // 12 twips a pixel
  view.load_and_show();
  pump_messages(100);
  RECT client;
  GetClientRect(view.window(), &client);
  EXPECT_EQ(client.right, 694);   // 8325 / 12 = 693.75
  EXPECT_EQ(client.bottom, 661);  // 7935 / 12 = 661.25
  EXPECT_EQ(form.Form.ScaleWidth, 8328);
  EXPECT_EQ(form.Form.ScaleHeight, 7932);
}

// At 144 DPI the layout is half as large again; so are the flags and the
// logo, drawn over the whole of their larger place.
TEST(BindingDpi, PicturesGrowWithTheLayout) {
  RecordingHost host;
  QOR_sync_FRM form{{&host, [](const std::string&) { return std::unique_ptr<FileSystem>(); }, "C:\\qor"}};
  win32::FormView view(form, win32::ScreenUnits(144));
  view.load_and_show();
  pump_messages(150);
  const RECT flag = view.area(form.Image1(0));
  EXPECT_EQ(flag.right - flag.left, 71);  // 47 pixels at 96 DPI
  EXPECT_EQ(flag.bottom - flag.top, 47);  // 31
  const RECT logo = view.area(form.Image2);
  EXPECT_EQ(logo.right - logo.left, 48);  // 32
  EXPECT_EQ(logo.bottom - logo.top, 50);  // 33

  // The flag's gold band reaches its scaled lower edge, beyond where the
  // picture ends at its own size.
  POINT corner{flag.left + 40, flag.bottom - 3};
  ClientToScreen(view.handle(*form.Image1(0).container()), &corner);
  const COLORREF gold = screen_pixel(corner);
  EXPECT_GT(GetRValue(gold), GetBValue(gold) + 40);
}

}  // namespace
}  // namespace qor::test
