// The shell of a Windows session: the desktop folder (or, without one, the
// Start menu's programs), a shortcut read back through the shell's own link
// object, and a program started maximized.
#include <gtest/gtest.h>

#include <array>

#include "platform/file_system.hpp"
#include "platform/shell.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/platform/win32/child_process.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/eventually.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/com.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

using test::TempDir;

std::string helper(const std::string& name) { return test::from_linux_path(QOR_TEST_HELPERS "/" + name + ".exe"); }

struct LinkContent {
  std::string target, working_folder, icon;
  int icon_index = -1;
};

// The shortcut as the shell reads it.
LinkContent read_link(const std::string& path) {
  const win32::ComApartment com;
  win32::ComPtr<IShellLinkW> link;
  win32::ComPtr<IPersistFile> file;
  LinkContent content;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.put())) ||
      FAILED(file->Load(win32::to_wide(path).c_str(), STGM_READ))) {
    ADD_FAILURE() << "cannot load " << path;
    return content;
  }
  std::array<wchar_t, MAX_PATH> text{};
  if (SUCCEEDED(link->GetPath(text.data(), MAX_PATH, nullptr, SLGP_RAWPATH)))
    content.target = win32::to_utf8(text.data());
  if (SUCCEEDED(link->GetWorkingDirectory(text.data(), MAX_PATH))) content.working_folder = win32::to_utf8(text.data());
  if (SUCCEEDED(link->GetIconLocation(text.data(), MAX_PATH, &content.icon_index)))
    content.icon = win32::to_utf8(text.data());
  return content;
}

TEST(DesktopShell, TheDesktopIsAnExistingFolder) {
  const auto desktop = make_desktop_shell()->desktop_folder();
  ASSERT_TRUE(desktop) << desktop.failure().reason;
  EXPECT_TRUE(make_desktop_shell()->desktop_folder());
  const DWORD attributes = GetFileAttributesW(win32::to_wide(*desktop).c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << *desktop;
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << *desktop;
  EXPECT_NE(desktop->back(), '\\');
}

// The user's Desktop folder named elsewhere in the user's folder settings
// for the test's time (moving the folder itself would move what it leads
// to under Wine, where it is a link to the home folder).
class DesktopNamed {
 public:
  explicit DesktopNamed(const std::string& folder) {
    RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
    DWORD size = sizeof old_;
    had_ = RegQueryValueExW(key_, L"Desktop", nullptr, &type_, reinterpret_cast<BYTE*>(old_), &size) == ERROR_SUCCESS;
    old_size_ = size;
    const std::wstring wide = win32::to_wide(folder);
    set_ = RegSetValueExW(key_, L"Desktop", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  DesktopNamed(const DesktopNamed&) = delete;
  DesktopNamed& operator=(const DesktopNamed&) = delete;
  ~DesktopNamed() {
    if (had_) {
      RegSetValueExW(key_, L"Desktop", 0, type_, reinterpret_cast<const BYTE*>(old_), old_size_);
    } else {
      RegDeleteValueW(key_, L"Desktop");
    }
    RegCloseKey(key_);
  }
  bool set() const { return set_; }

 private:
  static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  HKEY key_ = nullptr;
  DWORD type_ = REG_EXPAND_SZ;
  wchar_t old_[MAX_PATH] = {};
  DWORD old_size_ = 0;
  bool had_ = false;
  bool set_ = false;
};

// A user whose desktop folder is not there has no desktop: the finish
// action then puts the shortcut into the Start menu's programs, made when
// missing.
TEST(DesktopShell, WithoutTheDesktopFolderThereIsNoDesktopAndTheMenuFolderIsMadeWhenMissing) {
  const auto shell = make_desktop_shell();
  TempDir home;
  const std::string missing = test::windows_path(home / "Desktop");
  {
    const DesktopNamed named(missing);
    ASSERT_TRUE(named.set());
    const auto none = shell->desktop_folder();
    ASSERT_FALSE(none) << *none;
    EXPECT_NE(none.failure().reason.find(missing), std::string::npos) << none.failure().reason;
    CreateDirectoryW(win32::to_wide(missing).c_str(), nullptr);
    const auto there = shell->desktop_folder();
    ASSERT_TRUE(there) << there.failure().reason;
    EXPECT_EQ(*there, missing);
  }
  EXPECT_TRUE(shell->desktop_folder());

  const auto menu = shell->menu_folder();
  ASSERT_TRUE(menu) << menu.failure().reason;
  EXPECT_NE(menu->back(), '\\');
  EXPECT_NE(menu->find("Programs"), std::string::npos) << *menu;
  // Made again when it is gone; what it held comes back after the test.
  const std::wstring wide = win32::to_wide(*menu);
  const std::wstring aside = wide + L".away";
  ASSERT_TRUE(MoveFileExW(wide.c_str(), aside.c_str(), 0));
  const auto made = shell->menu_folder();
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  RemoveDirectoryW(wide.c_str());
  MoveFileExW(aside.c_str(), wide.c_str(), 0);
  ASSERT_TRUE(made) << made.failure().reason;
  EXPECT_EQ(*made, *menu);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST(DesktopShell, AShortcutReadsBackWithTargetFolderAndIcon) {
  TempDir desktop;
  TempDir app;
  // Paths as the client builds them ('/' separators, UTF-8 beyond ASCII).
  const std::string folder = local_path(app / "Programm \xC3\x84");
  CreateDirectoryW(win32::to_wide(folder).c_str(), nullptr);
  const ShortcutProperties properties{folder + "/QOR_software.exe", folder + "/QOR_Icons.dll", folder};
  const auto saved = make_desktop_shell()->save_shortcut(desktop.path(), "QOR_software_PRO", properties);
  ASSERT_TRUE(saved) << saved.failure().reason;
  EXPECT_EQ(*saved, test::windows_path(desktop / "QOR_software_PRO.lnk"));

  const LinkContent link = read_link(*saved);
  const std::string windows_folder = test::windows_path(app / "Programm \xC3\x84");
  EXPECT_EQ(link.target, windows_folder + "\\QOR_software.exe");
  EXPECT_EQ(link.working_folder, windows_folder);
  EXPECT_EQ(link.icon, windows_folder + "\\QOR_Icons.dll");
  EXPECT_EQ(link.icon_index, 0);
}

// Without a main program the shortcut opens the application folder.
TEST(DesktopShell, AShortcutToTheFolderItselfReadsBackWithTheFolder) {
  TempDir desktop;
  TempDir app;
  const std::string folder = local_path(app.path());
  const auto saved = make_desktop_shell()->save_shortcut(desktop.path(), "QOR_software_PRO",
                                                         {folder + "/", folder + "/QOR_Icons.dll", folder});
  ASSERT_TRUE(saved) << saved.failure().reason;
  const LinkContent link = read_link(*saved);
  const std::string windows_folder = test::windows_path(app.path());
  EXPECT_TRUE(link.target == windows_folder || link.target == windows_folder + "\\") << link.target;
  EXPECT_EQ(link.working_folder, windows_folder);
}

TEST(DesktopShell, AShortcutReplacesAnEarlierOneAndLeavesNothingElse) {
  TempDir desktop;
  const auto shell = make_desktop_shell();
  ASSERT_TRUE(
      shell->save_shortcut(desktop.path(), "QOR_software_PRO", {"C:\\alt\\a.exe", "C:\\alt\\i.dll", "C:\\alt"}));
  const auto saved =
      shell->save_shortcut(desktop.path(), "QOR_software_PRO", {"C:\\neu\\a.exe", "C:\\neu\\i.dll", "C:\\neu"});
  ASSERT_TRUE(saved) << saved.failure().reason;
  EXPECT_EQ(read_link(*saved).target, "C:\\neu\\a.exe");
  EXPECT_EQ(test::file_names(desktop.path()), std::vector<std::string>{"QOR_software_PRO.lnk"});

  const auto nowhere = shell->save_shortcut(desktop / "fehlt", "QOR_software_PRO", {"C:\\a.exe", "C:\\i.dll", "C:\\"});
  ASSERT_FALSE(nowhere);
  EXPECT_NE(nowhere.failure().reason.find("fehlt"), std::string::npos) << nowhere.failure().reason;
}

TEST(DesktopShell, StartsAProgramMaximizedInItsFolder) {
  TempDir app;
  const std::string program = app / "QOR software.exe";
  test::write_file(program, test::read_file(helper("note_start")));
  CreateDirectoryW(win32::to_wide(app / "Arbeit").c_str(), nullptr);

  const Status started = make_desktop_shell()->start_program(local_path(program), local_path(app / "Arbeit"));
  ASSERT_TRUE(started) << started.failure().reason;
  ASSERT_TRUE(test::eventually([&] { return test::file_exists(program + ".note"); })) << "the program did not start";
  const std::string note = test::read_file(program + ".note");
  EXPECT_NE(note.find("show=3\n"), std::string::npos) << note;  // SW_SHOWMAXIMIZED
  EXPECT_NE(note.find("folder=" + test::windows_path(app / "Arbeit") + "\n"), std::string::npos) << note;
}

TEST(DesktopShell, AProgramThatIsNotThereIsReported) {
  TempDir app;
  const Status started = make_desktop_shell()->start_program(app / "fehlt.exe", app.path());
  ASSERT_FALSE(started);
  EXPECT_EQ(started.failure().code, ERROR_FILE_NOT_FOUND) << started.failure().reason;
  EXPECT_NE(started.failure().reason.find("fehlt.exe"), std::string::npos);
}

}  // namespace
}  // namespace qor
