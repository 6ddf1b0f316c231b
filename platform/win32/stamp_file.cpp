#include "platform/win32/stamp_file.hpp"

#include "platform/win32/wide_text.hpp"
#include "platform/win32/windows_error.hpp"
#include "platform/win32/windows_names.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {
namespace {

// Normal attributes for its lifetime, the remembered ones back afterwards.
class NormalAttributes {
 public:
  NormalAttributes(const std::wstring& path, DWORD remembered) : path_(path), remembered_(remembered) {
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  NormalAttributes(const NormalAttributes&) = delete;
  NormalAttributes& operator=(const NormalAttributes&) = delete;
  ~NormalAttributes() { SetFileAttributesW(path_.c_str(), remembered_); }

 private:
  const std::wstring& path_;
  DWORD remembered_;
};

}  // namespace

Status stamp_last_write_time(const std::string& path, const qor::FILETIME& utc,
                             const std::function<Status(void* file)>& check_opened) {
  const std::string what = "stamp " + path;
  if (const auto alias = aliased_component(path))
    return Failure{what + ": Windows would not keep the name \"" + *alias + "\" as written", ERROR_INVALID_NAME};
  const std::wstring wide = to_wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return windows_failure(what, error);
  }
  // A reparse point is stamped neither itself nor through: it is no file here.
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    return Failure{what + ": not a regular file"};

  const NormalAttributes normal(wide, attributes);
  UniqueHandle file(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    return windows_failure(what, error);
  }
  if (check_opened) {
    if (Status checked = check_opened(file.get()); !checked)
      return Failure{what + ": " + checked.failure().reason, checked.failure().code};
  }
  const ::FILETIME last_write{utc.dwLowDateTime, utc.dwHighDateTime};
  if (!SetFileTime(file.get(), nullptr, nullptr, &last_write)) {
    const DWORD error = GetLastError();
    return windows_failure(what, error);
  }
  if (!file.close()) {
    const DWORD error = GetLastError();
    return windows_failure(what, error);
  }
  return {};
}

}  // namespace qor::win32
