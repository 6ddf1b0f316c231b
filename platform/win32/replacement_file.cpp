#include "platform/win32/replacement_file.hpp"

#include <algorithm>
#include <memory>

#include "platform/win32/running_executable.hpp"
#include "platform/win32/wide_text.hpp"
#include "platform/win32/windows_error.hpp"
#include "platform/win32/windows_names.hpp"
#include "portable/transfer/download_names.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {
namespace {

// Attributes that describe the file rather than its state; the replacement
// takes them over from the file it replaces.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD kMoveInPlace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
// Never over an entry that is there: the swap itself looks at the place.
constexpr DWORD kMoveIntoEmptyPlace = MOVEFILE_WRITE_THROUGH;

// Failures of the move carry the target as the user knows it.
Failure move_failed(const std::string& what, const std::string& shown, DWORD error) {
  return windows_failure(what + " " + shown, error);
}

// One attempt: a file in use (sharing violation, access denied) fails now
// and stays as it was; the next run tries again.
Status put_in_place(const std::wstring& temp, const std::wstring& target, const std::string& shown) {
  if (MoveFileExW(temp.c_str(), target.c_str(), kMoveInPlace)) return {};
  const DWORD error = GetLastError();
  return move_failed("replace", shown, error);
}

// The place is looked at again just before the swap, and the swap itself
// never replaces: a file that appeared at any moment before stays. The file
// system matches the name regardless of letter case.
Result<Committed> put_into_empty_place(const std::wstring& temp, const std::wstring& target, const std::string& shown) {
  if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return Committed::PlaceTaken;
  if (MoveFileExW(temp.c_str(), target.c_str(), kMoveIntoEmptyPlace)) return Committed::Placed;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return Committed::PlaceTaken;
  return move_failed("move into", shown, error);
}

Status put_running_program_in_place(const std::wstring& temp, const std::wstring& target, const std::string& shown) {
  const std::wstring aside = set_aside_path(target);
  if (!MoveFileExW(target.c_str(), aside.c_str(), kMoveInPlace)) {
    const DWORD error = GetLastError();
    return move_failed("set aside the running program", shown, error);
  }
  if (MoveFileExW(temp.c_str(), target.c_str(), kMoveInPlace)) return {};
  const DWORD error = GetLastError();
  // The program must not go missing: it comes back to its name.
  MoveFileExW(aside.c_str(), target.c_str(), kMoveInPlace);
  return move_failed("replace the running program", shown, error);
}

}  // namespace

Result<Committed> move_into_place(const std::wstring& temp, const std::wstring& target, const std::string& shown,
                                  Placement placement) {
  if (const DWORD now = GetFileAttributesW(target.c_str());
      now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // A link put at the place meanwhile stays as it is.
    return Failure{"replace " + reparse_point_in_the_way(shown).reason, kReparsePointInTheWay};
  }
  if (placement == Placement::OnlyIfAbsent) return put_into_empty_place(temp, target, shown);
  const Status placed = is_running_executable(target) ? put_running_program_in_place(temp, target, shown)
                                                      : put_in_place(temp, target, shown);
  if (!placed) return placed.failure();
  return Committed::Placed;
}

Win32ReplacementFile::Win32ReplacementFile(EntryBelow entry)
    : held_(std::move(entry.held)),
      shown_(entry.path),
      target_(to_wide(entry.path)),
      folder_(std::move(entry.folder)),
      name_(std::move(entry.name)),
      exists_(entry.exists),
      attributes_(entry.attributes) {}

Failure Win32ReplacementFile::failed(const std::string& what, DWORD error) const {
  return windows_failure(what + " " + shown_, error);
}

std::string Win32ReplacementFile::temporary_name() const {
  const auto slash = temp_.find_last_of(L"/\\");
  return to_utf8(slash == std::wstring::npos ? temp_ : temp_.substr(slash + 1));
}

Status Win32ReplacementFile::open() {
  if (exists_) {
    if ((attributes_ & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
      return Failure{"replace " + reparse_point_in_the_way(shown_).reason, kReparsePointInTheWay};
    if ((attributes_ & FILE_ATTRIBUTE_DIRECTORY) != 0 || (attributes_ & FILE_ATTRIBUTE_DEVICE) != 0)
      return Failure{"replace " + shown_ + ": not a regular file"};
    // A write-protected file is not replaced behind its owner's back.
    if ((attributes_ & FILE_ATTRIBUTE_READONLY) != 0)
      return Failure{"replace " + shown_ + ": the file is write-protected", ERROR_ACCESS_DENIED};
    kept_attributes_ = attributes_ & kKeptAttributes;
  }
  const std::wstring folder = to_wide(folder_.ends_with('/') ? folder_ : folder_ + "/");
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < 100 && error == ERROR_FILE_EXISTS; ++attempt) {
    std::wstring temp = folder + to_wide(new_temporary_name());
    file_ = UniqueHandle(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file_) {
      temp_ = std::move(temp);
      return {};
    }
    error = GetLastError();
  }
  return failed("create a temporary file for", error);
}

void Win32ReplacementFile::discard() {
  file_.reset();
  if (!temp_.empty()) {
    DeleteFileW(temp_.c_str());
    temp_.clear();
  }
  held_.clear();
}

Status Win32ReplacementFile::write(const char* data, std::size_t size) {
  if (!file_) return Failure{"write " + shown_ + ": not open"};
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file_.get(), data, piece, &written, nullptr)) {
      const DWORD error = GetLastError();
      return failed("write", error);
    }
    data += written;
    size -= written;
  }
  return {};
}

std::optional<DiskSpace> Win32ReplacementFile::disk_space() const {
  ULARGE_INTEGER available{};
  ULARGE_INTEGER total{};
  const std::wstring folder = to_wide(folder_.ends_with('/') ? folder_ : folder_ + "/");
  if (!GetDiskFreeSpaceExW(folder.c_str(), &available, &total, nullptr)) return std::nullopt;
  return DiskSpace{available.QuadPart, total.QuadPart};
}

Status Win32ReplacementFile::rewind() {
  if (!file_) return Failure{"start again " + shown_ + ": not open"};
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get())) {
    const DWORD error = GetLastError();
    return failed("start again", error);
  }
  return {};
}

Result<Committed> Win32ReplacementFile::commit(Placement placement) {
  if (Status flushed = flush(); !flushed) {
    discard();
    return flushed.failure();
  }
  return place(placement);
}

// Any file can be started here: `startable` asks for nothing. A time set
// through the handle is the file's from then on: no later write or close
// changes it, and the flush takes it to the disk with the bytes.
Status Win32ReplacementFile::finish(const Placing& placing) {
  if (!file_) return Failure{"finish " + shown_ + ": not open"};
  if (placing.last_write) {
    const ::FILETIME last_write{placing.last_write->dwLowDateTime, placing.last_write->dwHighDateTime};
    if (!SetFileTime(file_.get(), nullptr, nullptr, &last_write)) {
      const DWORD error = GetLastError();
      return failed("stamp", error);
    }
  }
  return {};
}

Status Win32ReplacementFile::flush() {
  if (!file_) return Failure{"flush " + shown_ + ": not open"};
  // Through the open handle, so that the flush covers the attributes too.
  if (kept_attributes_ != 0) {
    FILE_BASIC_INFO basic{};  // times of 0 stay as they are
    basic.FileAttributes = kept_attributes_;
    SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic);
  }
  if (!FlushFileBuffers(file_.get())) {
    const DWORD error = GetLastError();
    return failed("flush", error);
  }
  if (!file_.close()) {
    const DWORD error = GetLastError();
    return failed("close", error);
  }
  return {};
}

Result<Committed> Win32ReplacementFile::place(Placement placement) {
  if (temp_.empty() || file_) return Failure{"place " + shown_ + ": not flushed"};
  const Result<Committed> outcome = move_into_place(temp_, target_, shown_, placement);
  if (!outcome || *outcome == Committed::PlaceTaken) {
    discard();
    return outcome;
  }
  temp_.clear();
  held_.clear();
  return outcome;
}

Result<std::unique_ptr<ReplacementFile>> start_replacement(EntryBelow entry) {
  if (entry.name.empty()) return Failure{"replace " + entry.path + ": not a regular file"};
  if (const auto alias = aliased_component(entry.name))
    return Failure{"replace " + entry.path + ": Windows would not keep the name \"" + *alias + "\" as written",
                   ERROR_INVALID_NAME};
  auto file = std::make_unique<Win32ReplacementFile>(std::move(entry));
  if (Status opened = file->open(); !opened) return opened.failure();
  return std::unique_ptr<ReplacementFile>(std::move(file));
}

}  // namespace qor::win32
