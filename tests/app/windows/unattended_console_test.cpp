// The real QOR_sync_PRO.exe run without its window, as a scheduled task or
// an administrator's console starts it: Windows gives a GUI program no
// standard handles, so its lines must reach the console it was started from
// (this program's own, whose screen it reads) or, started without one, the
// log file; and no message box may wait, whatever goes wrong. The program's
// path comes as the first argument, the port of no server the second.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/instance_lock.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/platform/win32/child_process.hpp"
#include "tests/support/files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::test {
namespace {

std::string program_path;  // set once by main, read by the tests
std::string closed_port;

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

// A box the program raised, which would wait for a click nobody makes.
bool box_shown() { return FindWindowW(L"#32770", L"QOR_sync_PRO") != nullptr; }

std::string server() { return "127.0.0.1:" + closed_port; }

// Started from a console: a fresh one of this program's own, empty.
class FromAConsole : public ::testing::Test {
 protected:
  FromAConsole() {
    FreeConsole();
    has_console_ = AllocConsole() != FALSE;
  }
  ~FromAConsole() override { FreeConsole(); }
  bool has_console_ = false;
};

TEST_F(FromAConsole, TheLinesOfARunReachTheConsoleAndItsCodeTheCaller) {
  ChildProcess program(program_path, {"--check", "--update-server", server()}, true);
  EXPECT_EQ(program.wait(std::chrono::seconds(60)), 3u) << "not ended with 3 (update server not reachable)";
  EXPECT_FALSE(box_shown());
  ASSERT_TRUE(has_console_);
  const std::wstring screen = console_screen();
  EXPECT_NE(screen.find(L"check: the update server 127.0.0.1:"), std::wstring::npos) << screen.c_str();
  EXPECT_NE(screen.find(L"result: exit 3"), std::wstring::npos) << screen.c_str();
}

TEST_F(FromAConsole, ARefusedCommandLineSaysWhyThereAndWaitsOnNoBox) {
  ChildProcess program(program_path, {"--unattended", "--language", "fr"}, true);
  EXPECT_EQ(program.wait(std::chrono::seconds(60)), 2u) << "not ended with 2, or a box waits";
  EXPECT_FALSE(box_shown());
  ASSERT_TRUE(has_console_);
  EXPECT_NE(console_screen().find(L"not a language: \"fr\""), std::wstring::npos) << console_screen().c_str();
}

// Asked for help in a scheduled task's command line: the text, no box.
TEST_F(FromAConsole, HelpWithoutTheWindowIsLinesOnly) {
  ChildProcess program(program_path, {"--unattended", "--help"}, true);
  EXPECT_EQ(program.wait(std::chrono::seconds(60)), 0u) << "not ended, or a box waits";
  EXPECT_FALSE(box_shown());
  EXPECT_NE(console_screen().find(L"--unattended --language de|en"), std::wstring::npos) << console_screen().c_str();
}

// The lock is this test's: another process holds the folder.
TEST_F(FromAConsole, AFolderAnotherClientWorksInIsRefusedWithSeven) {
  const std::string folder = std::filesystem::path(program_path).parent_path().string();
  const auto held = lock_program_folder(folder);
  ASSERT_TRUE(held) << held.failure().reason;
  ChildProcess program(program_path, {"--unattended", "--language", "de", "--update-server", server()}, true);
  EXPECT_EQ(program.wait(std::chrono::seconds(60)), 7u);
  EXPECT_FALSE(box_shown());
  EXPECT_NE(console_screen().find(L"is already running in this folder"), std::wstring::npos)
      << console_screen().c_str();
}

// The window started meanwhile: a box that says so instead of the window,
// and the program ends with 7 once the box is closed.
TEST_F(FromAConsole, TheWindowInAFolderAnotherClientWorksInIsABoxAndSeven) {
  const std::string folder = std::filesystem::path(program_path).parent_path().string();
  const auto held = lock_program_folder(folder);
  ASSERT_TRUE(held) << held.failure().reason;
  ChildProcess program(program_path, {"--update-server", server()}, true);
  HWND box = nullptr;
  for (int i = 0; i < 200 && box == nullptr; ++i) {
    box = FindWindowW(L"#32770", L"QOR_sync_PRO");
    if (box == nullptr) Sleep(100);
  }
  ASSERT_NE(box, nullptr) << "no box";
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  EXPECT_NE(std::wstring(text).find(L"läuft bereits in diesem Ordner"), std::wstring::npos) << text;
  EXPECT_NE(std::wstring(text).find(L"is already running in this folder"), std::wstring::npos) << text;
  EXPECT_EQ(FindWindowW(nullptr, L"QOR synchro center"), nullptr) << "the window opened beside the box";
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(program.wait(std::chrono::seconds(30)), 7u);
}

// Started as a scheduled task starts it: no console anywhere. The log's
// name is not in every code page's plain letters: it must arrive whole.
TEST(WithoutAConsole, TheLogFileHoldsTheLines) {
  FreeConsole();
  TempDir dir;
  const std::string log = dir / "Übersicht.log";
  ChildProcess program(program_path, {"--unattended", "--language", "en", "--log", log, "--update-server", server()},
                       true);
  EXPECT_EQ(program.wait(std::chrono::seconds(60)), 3u);
  EXPECT_FALSE(box_shown());
  std::ifstream in(std::filesystem::path(win32::to_wide(log)));
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find(" check: the update server 127.0.0.1:"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find(" result: exit 3"), std::string::npos) << text.str();
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
