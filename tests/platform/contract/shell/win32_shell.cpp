// The shell suite on Windows (and Wine): the user's shell folders in the
// registry, shortcuts read through the shell's own link object, the
// note_start helper as the program.
#include <array>

#include "platform/win32/wide_text.hpp"
#include "tests/platform/contract/shell/platform_shell.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/com.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor::test {

namespace {

constexpr const wchar_t* kShellFolders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

}  // namespace

// The Desktop value as it was before the case, put back after it (moving
// the folder itself would move what it leads to under Wine, where it is a
// link to the home folder).
struct ShellSession::State {
  HKEY key = nullptr;
  DWORD type = REG_EXPAND_SZ;
  std::array<wchar_t, MAX_PATH> old{};
  DWORD old_size = 0;
  bool had = false;
  bool changed = false;
};

ShellSession::ShellSession() : state_(std::make_unique<State>()) {}

ShellSession::~ShellSession() {
  State& s = *state_;
  if (s.key == nullptr) return;
  if (s.had) {
    RegSetValueExW(s.key, L"Desktop", 0, s.type, reinterpret_cast<const BYTE*>(s.old.data()), s.old_size);
  } else {
    RegDeleteValueW(s.key, L"Desktop");
  }
  RegCloseKey(s.key);
}

bool ShellSession::name_desktop(const std::string& folder) {
  State& s = *state_;
  if (s.key == nullptr) {
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &s.key) != ERROR_SUCCESS)
      return false;
    DWORD size = sizeof s.old;
    s.had = RegQueryValueExW(s.key, L"Desktop", nullptr, &s.type, reinterpret_cast<BYTE*>(s.old.data()), &size) ==
            ERROR_SUCCESS;
    s.old_size = size;
  }
  const std::wstring wide = win32::to_wide(windows_path(folder));
  return RegSetValueExW(s.key, L"Desktop", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                        static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::string shell_path(const std::string& path) { return windows_path(path); }

std::filesystem::path native(const std::string& path) { return win32::to_wide(path); }

std::string shortcut_file_name(const std::string& name) { return name + ".lnk"; }

ShortcutContent read_shortcut(const std::string& path) {
  const win32::ComApartment com;
  win32::ComPtr<IShellLinkW> link;
  win32::ComPtr<IPersistFile> file;
  ShortcutContent content;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.put())) ||
      FAILED(file->Load(win32::to_wide(path).c_str(), STGM_READ)))
    return content;
  std::array<wchar_t, MAX_PATH> text{};
  if (SUCCEEDED(link->GetPath(text.data(), MAX_PATH, nullptr, SLGP_RAWPATH)))
    content.target = win32::to_utf8(text.data());
  if (SUCCEEDED(link->GetWorkingDirectory(text.data(), MAX_PATH))) content.working_folder = win32::to_utf8(text.data());
  int index = -1;
  if (SUCCEEDED(link->GetIconLocation(text.data(), MAX_PATH, &index))) {
    content.icon = win32::to_utf8(text.data());
    content.icon_index = index;
  }
  return content;
}

// The Start menu's programs.
bool is_menu_folder(const std::string& folder) { return folder.ends_with("\\Programs"); }

FolderAside::FolderAside(std::string folder) : folder_(std::move(folder)) {
  moved_ = MoveFileExW(win32::to_wide(folder_).c_str(), win32::to_wide(folder_ + ".away").c_str(), 0) != 0;
}

FolderAside::~FolderAside() {
  if (!moved_) return;
  RemoveDirectoryW(win32::to_wide(folder_).c_str());
  MoveFileExW(win32::to_wide(folder_ + ".away").c_str(), win32::to_wide(folder_).c_str(), 0);
}

std::string noting_program(const std::string& path_without_extension) {
  const std::string program = path_without_extension + ".exe";
  write_file(program, read_file(from_linux_path(QOR_TEST_HELPERS "/note_start.exe")));
  return program;
}

std::optional<std::string> maximized_note_line() { return "show=" + std::to_string(SW_SHOWMAXIMIZED) + "\n"; }

std::optional<long> missing_program_code() { return ERROR_FILE_NOT_FOUND; }

}  // namespace qor::test
