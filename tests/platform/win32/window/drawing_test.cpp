// What the Win32 binding draws, and where: the window's frame and place,
// the language panel at the design size, and model changes redrawn.
#include "tests/platform/win32/window/binding_fixture.hpp"

namespace qor::test {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

bool close_to(COLORREF a, COLORREF b, int tolerance = 24) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// The windows of a container's children, top of the stack first.
std::vector<HWND> stacking(HWND parent) {
  std::vector<HWND> out;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    out.push_back(child);
  }
  return out;
}

std::ptrdiff_t position(const std::vector<HWND>& order, HWND hwnd) {
  return std::find(order.begin(), order.end(), hwnd) - order.begin();
}

TEST_F(Binding, TheWindowIsAFixedOwnedWindowCentredOnTheScreen) {
  const HWND window = view->window();
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"QOR synchro center");

  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_CAPTION | WS_SYSMENU));
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
  const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  EXPECT_EQ(ex_style & WS_EX_APPWINDOW, 0u);
  // Owned by a window that is never shown: no taskbar button.
  EXPECT_EQ(GetWindow(window, GW_OWNER), view->owner());
  EXPECT_FALSE(IsWindowVisible(view->owner()));
  EXPECT_TRUE(IsWindowVisible(window));

  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 555);
  EXPECT_EQ(client.bottom, 529);
  RECT outer, work;
  GetWindowRect(window, &outer);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_LE(std::abs((outer.left + outer.right) - (work.left + work.right)), 1);
  EXPECT_LE(std::abs((outer.top + outer.bottom) - (work.top + work.bottom)), 1);

  // The layout pass ran with the real client area.
  EXPECT_EQ(form.Form.ScaleWidth, 8325);
  EXPECT_EQ(form.Form.ScaleHeight, 7935);
  EXPECT_GE(form.Form.Width.get(), 8325);
}

TEST_F(Binding, DrawsTheLanguagePanelAtTheDesignSize) {
  RECT panel;
  GetWindowRect(view->handle(form.Picture1(9)), &panel);
  MapWindowPoints(nullptr, view->window(), reinterpret_cast<POINT*>(&panel), 2);
  EXPECT_EQ(panel.left, 0);
  EXPECT_EQ(panel.top, 0);
  EXPECT_EQ(panel.right, 555);
  EXPECT_EQ(panel.bottom, 529);
  // 3387 x 3967.5 twips: rounded only when drawn; a flag is as large as its picture.
  const RECT flag = view->area(form.Image1(0));
  EXPECT_EQ(flag.left, 226);
  EXPECT_EQ(flag.top, 265);
  EXPECT_EQ(flag.right - flag.left, 47);
  EXPECT_EQ(flag.bottom - flag.top, 31);
  const RECT logo = view->area(form.Image2);
  EXPECT_EQ(logo.right - logo.left, 32);
  EXPECT_EQ(logo.bottom - logo.top, 33);

  // The panel is white; the logo's corner is transparent, its middle is not.
  EXPECT_TRUE(close_to(screen_pixel(at(form.Picture1(9), {5, 5})), kWhite));
  EXPECT_TRUE(close_to(screen_pixel(at(form.Image2, {0, 0})), kWhite));
  EXPECT_FALSE(close_to(screen_pixel(at(form.Image2, {16, 8})), kWhite));
  // The German flag's lower band is gold (muted between the dots of its raster).
  const COLORREF gold = screen_pixel(at(form.Image1(0), {21, 27}));
  EXPECT_GT(GetRValue(gold), GetBValue(gold) + 40);
  // The title is drawn, the offline message is not.
  EXPECT_GT(ink_pixels(screen_area(form.Label7(5)), kWhite), 100);
  EXPECT_GT(ink_pixels(screen_area(form.Label7(6)), kWhite), 100);
  EXPECT_EQ(ink_pixels(screen_area(form.Label7(7)), kWhite), 0);

  EXPECT_FALSE(IsWindowVisible(view->handle(form.Picture30)));
  EXPECT_FALSE(IsWindowVisible(view->handle(form.List1)));
  EXPECT_FALSE(IsWindowVisible(view->handle(form.Command1)));
  EXPECT_GE(view->area(form.Label1(0)).left, 555);  // shown, but out of view
  const auto sunken = GetWindowLongPtrW(view->handle(form.Picture3(0)), GWL_EXSTYLE) & WS_EX_CLIENTEDGE;
  EXPECT_NE(sunken, 0);

  // Stacking on the window, top first: Picture1(0), (9), (2), (1), Picture30, Picture1(10).
  const std::vector<HWND> order = stacking(view->window());
  const Control* top_down[] = {&form.Picture1(0), &form.Picture1(9), &form.Picture1(2),
                               &form.Picture1(1), &form.Picture30,   &form.Picture1(10)};
  for (std::size_t i = 1; i < std::size(top_down); ++i) {
    EXPECT_LT(position(order, view->handle(*top_down[i - 1])), position(order, view->handle(*top_down[i])))
        << top_down[i - 1]->display_name() << " above " << top_down[i]->display_name();
  }
}

TEST_F(Binding, ModelChangesAreRedrawn) {
  form.Label7(7).Visible = true;
  pump(150);
  const RECT message = screen_area(form.Label7(7));
  EXPECT_GT(ink_pixels(message, kWhite), 200);
  // Two lines: ink in the upper and in the lower half.
  const LONG middle = (message.top + message.bottom) / 2;
  EXPECT_GT(ink_pixels({message.left, message.top, message.right, middle}, kWhite), 50);
  EXPECT_GT(ink_pixels({message.left, middle, message.right, message.bottom}, kWhite), 50);

  form.Picture1(9).Visible = false;       // as the caption step leaves the window
  form.Picture30.BackColor = 0x00FF0000;  // blue in 0x00BBGGRR
  form.Picture30.Visible = true;
  pump(150);
  EXPECT_EQ(screen_pixel(at(form.Picture30, {3, 3})), RGB(0, 0, 255));
  // A colour the toolkit cannot show is not painted: blue stays.
  form.Picture30.BackColor = -5;
  pump(150);
  EXPECT_EQ(screen_pixel(at(form.Picture30, {3, 3})), RGB(0, 0, 255));

  show_package_panel();
  const HWND list = view->handle(form.List3);
  form.List3.AddItem("b.exe");
  form.List3.AddItem("a & b.dll");
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
  wchar_t item[32] = {};
  SendMessageW(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"a & b.dll");  // insertion order, text as it is
  form.List3.BackColor = 0x00C0FFE0;
  pump(150);
  RECT inside;
  GetWindowRect(list, &inside);
  EXPECT_EQ(screen_pixel({inside.left + 20, inside.bottom - 8}), RGB(0xE0, 0xFF, 0xC0));
  form.List3.Clear();
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);

  // A caption turned bold is drawn again, with more ink.
  const RECT caption = screen_area(form.Label3(1));
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const int regular = ink_pixels(caption, face);
  form.Label3(1).FontBold = true;
  pump(150);
  EXPECT_GT(ink_pixels(caption, face), regular + 10);
}

TEST(BindingDpi, TwipsFollowTheScreensDpi) {
  RecordingHost host;
  QOR_sync_FRM form{{&host, [](const std::string&) { return std::unique_ptr<FileSystem>(); }, "C:\\qor"}};
  win32::FormView view(form, win32::ScreenUnits(120));  // 12 twips a pixel
  view.load_and_show();
  pump(100);
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
  pump(150);
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
