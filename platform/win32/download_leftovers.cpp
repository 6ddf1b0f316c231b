#include "platform/win32/download_leftovers.hpp"

#include <memory>
#include <vector>

#include "platform/win32/program_folder_root.hpp"
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

void remove_in(const std::string& folder, int depth, Status& first_failure) {
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
        remove_in(path, depth + 1, first_failure);
      } else if (held.failure().code != kReparsePointInTheWay) {
        note(held.failure());
      }
    } else if ((entry.attributes & FILE_ATTRIBUTE_DEVICE) == 0 && is_download_leftover_name(entry.name)) {
      if (!DeleteFileW(to_wide(path).c_str())) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) note(windows_failure("remove the leftover " + path, error));
      }
    }
  }
}

}  // namespace

Status remove_download_leftovers_in(const std::string& folder) {
  Status first_failure;
  remove_in(folder, 0, first_failure);
  return first_failure;
}

}  // namespace qor::win32
