// The real QOR_sync_PRO.exe asked for its usage text, or given a bad
// --update-server: a GUI program has no standard output where a shortcut
// starts it, so it shows the text in a message box with its title, and
// writes it to the console it was started from as well; and its failure
// reasons reach that console while the window runs. This program is that
// console's owner: a fresh console of its own, whose screen it reads, and
// starts the program with no standard handles, as Windows starts a GUI
// program (Wine would hand on its own). The program's path comes as the
// first argument, the port of no server the second.
#include <gtest/gtest.h>

#include <string>

#include "tests/platform/win32/child_process.hpp"
#include "tests/wine/support/eventually.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::test {
namespace {

std::string program_path;  // set once by main, read by the tests
std::string closed_port;

struct Box {
  std::wstring title, text;
};

// The message box the program shows, pressed with its only button.
std::optional<Box> answer_box() {
  HWND box = nullptr;
  if (!eventually([&box] { return (box = FindWindowW(L"#32770", L"QOR_sync_PRO")) != nullptr; },
                  std::chrono::seconds(20)))
    return std::nullopt;
  Box seen;
  wchar_t text[2048] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 2048);  // the box's static text
  seen.text = text;
  wchar_t title[64] = {};
  GetWindowTextW(box, title, 64);
  seen.title = title;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return seen;
}

// What the console's screen shows, its lines joined.
std::wstring console_screen() {
  const HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  std::wstring screen;
  if (out != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(out, &info)) {
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwCursorPosition.Y + 1);
    screen.resize(cells);
    DWORD read = 0;
    ReadConsoleOutputCharacterW(out, screen.data(), cells, {0, 0}, &read);
    screen.resize(read);
  }
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  return screen;
}

class UsageText : public ::testing::Test {
 protected:
  UsageText() {
    // A console of this program's own, empty, that the started one finds.
    FreeConsole();
    has_console_ = AllocConsole() != FALSE;
  }
  ~UsageText() override { FreeConsole(); }
  bool has_console_ = false;
};

TEST_F(UsageText, HelpIsAMessageBoxAndTheConsolesLines) {
  ChildProcess program(program_path, {"--help"}, true);
  const auto box = answer_box();
  ASSERT_TRUE(box) << "no message box";
  EXPECT_EQ(box->title, L"QOR_sync_PRO");
  EXPECT_NE(box->text.find(L"--update-server"), std::wstring::npos);
  EXPECT_EQ(program.wait(std::chrono::seconds(20)), 0u);
  ASSERT_TRUE(has_console_);
  EXPECT_NE(console_screen().find(L"--update-server HOST[:PORT]"), std::wstring::npos) << "nothing on the console";
}

TEST_F(UsageText, ABadServerSaysWhyInTheBoxAndOnTheConsoleAndEndsTheProgram) {
  ChildProcess program(program_path, {"--update-server", "host/path"}, true);
  const auto box = answer_box();
  ASSERT_TRUE(box) << "no message box";
  EXPECT_EQ(box->text.rfind(L"QOR_sync_PRO: ", 0), 0u) << box->text.c_str();
  EXPECT_NE(box->text.find(L"host/path"), std::wstring::npos) << box->text.c_str();
  EXPECT_EQ(program.wait(std::chrono::seconds(20)), 2u);
  ASSERT_TRUE(has_console_);
  EXPECT_NE(console_screen().find(L"host/path"), std::wstring::npos) << "nothing on the console";
}

// A click on the German flag asks a server that is not there: the reason
// goes to standard error, which is the console the program was started from.
TEST_F(UsageText, FailureReasonsOfTheRunningWindowReachTheConsole) {
  ChildProcess program(program_path, {"--update-server", "127.0.0.1:" + closed_port}, true);
  HWND window = nullptr;
  ASSERT_TRUE(eventually([&window] {
    window = FindWindowW(nullptr, L"QOR synchro center");
    return window != nullptr && IsWindowVisible(window);
  }));
  // The flag's middle, where the window's layout puts it at 96 DPI.
  POINT flag{249, 280};
  ClientToScreen(window, &flag);
  const HWND surface = WindowFromPoint(flag);
  ASSERT_NE(surface, nullptr);
  ScreenToClient(surface, &flag);
  PostMessageW(surface, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(flag.x, flag.y));
  PostMessageW(surface, WM_LBUTTONUP, 0, MAKELPARAM(flag.x, flag.y));
  ASSERT_TRUE(has_console_);
  EXPECT_TRUE(eventually([] { return console_screen().find(L"QOR_sync_PRO: ") != std::wstring::npos; }))
      << "nothing on the console";
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(program.wait(std::chrono::seconds(20)));
}

}  // namespace
}  // namespace qor::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc > 2) {
    qor::test::program_path = argv[1];
    qor::test::closed_port = argv[2];
  }
  return RUN_ALL_TESTS();
}
