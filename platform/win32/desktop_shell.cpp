// The shell of a Windows session: the known Desktop folder (or, for a user
// without one, the Start menu's Programs folder), a shell link (.lnk) as the
// shortcut, and programs started the way Explorer starts them.
// COM is initialised for each use and released after it.
#include <memory>

#include "platform/shell.hpp"
#include "platform/win32/wide_text.hpp"
#include "platform/win32/windows_error.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/com.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

struct CoTaskMemFreer {
  void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

// The shell resolves links and starts programs by '\' paths only.
std::wstring shell_path(const std::string& path) {
  std::wstring wide = win32::to_wide(path);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return wide;
}

// A file that is deleted unless it was kept.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  const std::wstring& path() const { return path_; }
  void keep() { path_.clear(); }

 private:
  std::wstring path_;
};

// ShellExecute's own results (26-32) in words; the smaller ones are the
// system's error codes.
Failure start_failure(const std::string& what, INT_PTR code) {
  const char* words = nullptr;
  switch (code) {
    case SE_ERR_SHARE:
      words = "a sharing violation occurred";
      break;
    case SE_ERR_ASSOCINCOMPLETE:
      words = "the file association is incomplete";
      break;
    case SE_ERR_DDETIMEOUT:
      words = "the DDE request timed out";
      break;
    case SE_ERR_DDEFAIL:
      words = "the DDE transaction failed";
      break;
    case SE_ERR_DDEBUSY:
      words = "other DDE transactions were being processed";
      break;
    case SE_ERR_NOASSOC:
      words = "no application is associated with the file";
      break;
    case SE_ERR_DLLNOTFOUND:
      words = "a library needed was not found";
      break;
    case 0:
      words = "the system is out of memory or resources";
      break;
    default:
      return win32::windows_failure(what, static_cast<unsigned long>(code));
  }
  return {what + ": error " + std::to_string(code) + ": " + words, static_cast<long>(code)};
}

// A known folder of the user, no trailing separator.
Result<std::string> known_folder(REFKNOWNFOLDERID id, DWORD flags, const std::string& what) {
  wchar_t* found = nullptr;
  const HRESULT result = SHGetKnownFolderPath(id, flags, nullptr, &found);
  const std::unique_ptr<wchar_t, CoTaskMemFreer> owned(found);
  if (FAILED(result) || found == nullptr) return win32::hresult_failure(what, result);
  std::string folder = win32::to_utf8(found);
  // "C:\" keeps its separator; any other folder loses a trailing one.
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

class DesktopShell final : public Shell {
 public:
  Result<std::string> desktop_folder() override {
    // Not verified by the shell, so that a missing folder is named.
    auto folder = known_folder(FOLDERID_Desktop, KF_FLAG_DONT_VERIFY, "the desktop folder");
    if (!folder) return folder;
    // A desktop folder the settings name but that is gone is no desktop.
    const DWORD attributes = GetFileAttributesW(win32::to_wide(*folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      return Failure{"the desktop folder " + *folder + " does not exist", ERROR_PATH_NOT_FOUND};
    return folder;
  }

  Result<std::string> menu_folder() override {
    return known_folder(FOLDERID_Programs, KF_FLAG_CREATE, "the programs folder of the Start menu");
  }

  // Saved beside its place first and moved over an earlier one in one step,
  // so a failure never leaves half a shortcut.
  Result<std::string> save_shortcut(const std::string& folder, const std::string& name,
                                    const ShortcutProperties& properties) override {
    const std::wstring place = shell_path(folder);
    const std::wstring path = place + L"\\" + win32::to_wide(name) + L".lnk";
    const std::string shown = win32::to_utf8(path);
    const std::string what = "save the shortcut " + shown;
    const win32::ComApartment com;
    if (!com.usable()) return win32::hresult_failure(what, com.result());

    win32::ComPtr<IShellLinkW> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put());
    if (FAILED(result)) return win32::hresult_failure(what, result);
    if (FAILED(result = link->SetPath(shell_path(properties.target).c_str())) ||
        FAILED(result = link->SetWorkingDirectory(shell_path(properties.working_directory).c_str())) ||
        FAILED(result = link->SetIconLocation(shell_path(properties.icon_location).c_str(), 0))) {
      return win32::hresult_failure(what, result);
    }
    win32::ComPtr<IPersistFile> file;
    if (FAILED(result = link->QueryInterface(IID_IPersistFile, file.put())))
      return win32::hresult_failure(what, result);

    std::wstring temp_name(MAX_PATH, L'\0');
    if (GetTempFileNameW(place.c_str(), L"lnk", 0, temp_name.data()) == 0) {
      const DWORD error = GetLastError();
      return win32::windows_failure(what, error);
    }
    temp_name.resize(temp_name.find(L'\0'));
    TemporaryFile temp(std::move(temp_name));
    if (FAILED(result = file->Save(temp.path().c_str(), FALSE))) return win32::hresult_failure(what, result);
    if (!MoveFileExW(temp.path().c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const DWORD error = GetLastError();
      return win32::windows_failure(what, error);
    }
    temp.keep();
    return shown;
  }

  Status start_program(const std::string& program, const std::string& working_folder) override {
    const win32::ComApartment com;  // the shell may hand the start to its extensions
    const HINSTANCE started = ShellExecuteW(nullptr, L"open", shell_path(program).c_str(), nullptr,
                                            shell_path(working_folder).c_str(), SW_SHOWMAXIMIZED);
    const auto code = reinterpret_cast<INT_PTR>(started);
    if (code > 32) return {};
    return start_failure("start " + program, code);
  }
};

}  // namespace

std::unique_ptr<Shell> make_desktop_shell() { return std::make_unique<DesktopShell>(); }

}  // namespace qor
