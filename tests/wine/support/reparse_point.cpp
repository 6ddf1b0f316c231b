#include "tests/wine/support/reparse_point.hpp"

#include <cstring>
#include <vector>

#include "platform/win32/wide_text.hpp"
#include "tests/wine/support/test_server.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

#include <winioctl.h>

namespace qor::test {
namespace {

bool is_reparse_point(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A junction: an empty folder with a mount-point reparse point naming the
// target's NT path.
bool make_junction(const std::wstring& link, const std::wstring& target) {
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  win32::UniqueHandle folder(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  std::wstring substitute = L"\\??\\" + target;
  for (wchar_t& c : substitute)
    if (c == L'/') c = L'\\';
  // Tag, data length, reserved; then the four offsets and lengths of the
  // mount-point buffer; then both names, each ended by a null character.
  const std::size_t names = (substitute.size() + 1 + 1) * sizeof(wchar_t);
  std::vector<unsigned char> buffer(8 + 8 + names, 0);
  const auto put16 = [&buffer](std::size_t at, std::size_t value) {
    const auto v = static_cast<WORD>(value);
    std::memcpy(buffer.data() + at, &v, sizeof v);
  };
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(buffer.data(), &tag, sizeof tag);
  put16(4, 8 + names);
  put16(8, 0);
  put16(10, substitute.size() * sizeof(wchar_t));
  put16(12, (substitute.size() + 1) * sizeof(wchar_t));
  put16(14, 0);
  std::memcpy(buffer.data() + 16, substitute.c_str(), substitute.size() * sizeof(wchar_t));
  DWORD returned = 0;
  const bool made = folder && DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                                              static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
  folder.reset();
  if (!made) RemoveDirectoryW(link.c_str());
  return made;
}

}  // namespace

std::optional<std::string> make_reparse_point(const std::string& link, const std::string& target) {
  const std::wstring wide_link = win32::to_wide(link);
  const std::wstring wide_target = win32::to_wide(target);
  const DWORD target_attributes = GetFileAttributesW(wide_target.c_str());
  if (target_attributes == INVALID_FILE_ATTRIBUTES) return "the target " + target + " is not there";
  if ((target_attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    if (make_junction(wide_link, wide_target)) return std::nullopt;
  } else if (CreateSymbolicLinkW(wide_link.c_str(), wide_target.c_str(),
                                 SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
             is_reparse_point(wide_link)) {
    return std::nullopt;
  }
  // Wine's CreateSymbolicLinkW answers yes and makes nothing; the Linux
  // side's link shows as a reparse point where it leads to a folder, and as
  // the file itself where it leads to a file.
  if (const auto failed = make_symbolic_link_on_host(target, link)) return failed;
  return std::nullopt;
}

}  // namespace qor::test
