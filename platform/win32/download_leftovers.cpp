#include "platform/win32/download_leftovers.hpp"

#include <memory>
#include <optional>
#include <vector>

#include "platform/win32/program_folder_root.hpp"
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/wide_text.hpp"
#include "platform/win32/windows_error.hpp"
#include "portable/transfer/download_names.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {
namespace {

// Deeper folders than this are left alone: the client never makes them.
constexpr int kDeepestFolder = 64;

struct Entry {
  std::string name;
  DWORD attributes;
};

Result<std::vector<Entry>> entries_of(const std::string& folder) {
  WIN32_FIND_DATAW found{};
  const std::unique_ptr<void, decltype(&FindClose)> find(FindFirstFileW(to_wide(folder + "/*").c_str(), &found),
                                                         &FindClose);
  if (find.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return windows_failure("list " + folder, error);
  }
  std::vector<Entry> entries;
  do {
    const std::wstring_view name = found.cFileName;
    if (name != L"." && name != L"..") entries.push_back({to_utf8(name), found.dwFileAttributes});
  } while (FindNextFileW(find.get(), &found));
  if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) return windows_failure("list " + folder, error);
  return entries;
}

// True when the file open as `file` lies in the folder that really is
// `folder_final` under `name`, and is not what a link of that name leads to:
// some systems show a symbolic link to a file as that file itself, without a
// reparse point (Wine does), and only the open file tells where it lies.
bool lies_in(HANDLE file, const std::optional<std::string>& folder_final, const std::string& name) {
  const auto final = final_path_of(file);
  if (!final || !folder_final) return false;
  const std::wstring expected = to_wide(*folder_final + "/" + name);
  const std::wstring found = to_wide(*final);
  return CompareStringOrdinal(found.c_str(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Deletes the leftover through a handle of its own, so that what goes is the
// file that was looked at; a link in its place stays, and so does what it
// leads to.
Status remove_leftover(const std::string& path, const std::optional<std::string>& folder_final,
                       const std::string& name) {
  const UniqueHandle file(CreateFileW(to_wide(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};
    return windows_failure("remove the leftover " + path, error);
  }
  if (!lies_in(file.get(), folder_final, name)) return {};
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition)) {
    const DWORD error = GetLastError();
    return windows_failure("remove the leftover " + path, error);
  }
  return {};
}

void remove_in(const std::string& folder, const std::optional<std::string>& folder_final, int depth,
               Status& first_failure) {
  const auto note = [&first_failure](Failure failure) {
    if (first_failure) first_failure = std::move(failure);
  };
  const auto entries = entries_of(folder);
  if (!entries) return note(entries.failure());
  for (const Entry& entry : *entries) {
    const std::string path = folder + "/" + entry.name;
    // A reparse point is neither walked into nor removed: it is no regular file.
    if ((entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) continue;
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      if (depth >= kDeepestFolder) continue;
      // Held while it is walked, so that it cannot become a link meanwhile.
      const auto held = hold_folder(path);
      if (held) {
        remove_in(path, final_path_of(held->get()), depth + 1, first_failure);
      } else if (held.failure().code != kReparsePointInTheWay) {
        note(held.failure());
      }
    } else if ((entry.attributes & FILE_ATTRIBUTE_DEVICE) == 0 && is_download_leftover_name(entry.name)) {
      if (Status removed = remove_leftover(path, folder_final, entry.name); !removed) note(removed.failure());
    }
  }
}

}  // namespace

Status remove_download_leftovers_in(const std::string& folder) {
  Status first_failure;
  // The folder itself may be reached through a link: where it really is
  // tells its files from what links in it lead to.
  const UniqueHandle opened(CreateFileW(to_wide(folder).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  remove_in(folder, opened ? final_path_of(opened.get()) : std::nullopt, 0, first_failure);
  return first_failure;
}

}  // namespace qor::win32
