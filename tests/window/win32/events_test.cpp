// The keyboard focus on Tab, which the Win32 view moves itself.
#include "tests/window/contract/contract_fixture.hpp"
#include "tests/window/contract/win32_glue.hpp"

namespace qor::test {
namespace {

// The contract suite's window, reached through its Win32 view.
using Binding = ToolkitContract;

TEST_F(Binding, TabMovesTheFocusInTabOrderPastWhatIsNotShown) {
  show_package_panel();
  const HWND list3 = native(*view).handle(form.List3);  // TabIndex 14
  const HWND list4 = native(*view).handle(form.List4);  // TabIndex 2, shown (outside the client area)
  SetFocus(list3);
  MSG key{list3, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  // Round past the end; the hidden buttons and List1, and List2 in its hidden panel, are passed.
  EXPECT_TRUE(native(*view).tab_key(key));
  EXPECT_EQ(GetFocus(), list4);
  key.hwnd = list4;
  EXPECT_TRUE(native(*view).tab_key(key));
  EXPECT_EQ(GetFocus(), list3);

  form.Command1.Visible = true;  // TabIndex 0
  key.hwnd = list3;
  EXPECT_TRUE(native(*view).tab_key(key));
  EXPECT_EQ(GetFocus(), native(*view).handle(form.Command1));

  MSG other{list3, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
  EXPECT_FALSE(native(*view).tab_key(other));
}

}  // namespace
}  // namespace qor::test
