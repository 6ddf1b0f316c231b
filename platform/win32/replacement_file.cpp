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

class Win32ReplacementFile final : public ReplacementFile {
 public:
  explicit Win32ReplacementFile(EntryBelow entry)
      : held_(std::move(entry.held)),
        shown_(entry.path),
        target_(to_wide(entry.path)),
        folder_(std::move(entry.folder)),
        exists_(entry.exists),
        attributes_(entry.attributes) {}
  Win32ReplacementFile(const Win32ReplacementFile&) = delete;
  Win32ReplacementFile& operator=(const Win32ReplacementFile&) = delete;
  ~Win32ReplacementFile() override { discard(); }

  Status open();
  Status write(const char* data, std::size_t size) override;
  Status rewind() override;
  std::optional<DiskSpace> disk_space() const override;
  Result<Committed> commit(Placement placement) override;

 private:
  Failure failed(const std::string& what, DWORD error) const { return windows_failure(what + " " + shown_, error); }
  Status put_in_place();
  Status put_running_program_in_place();
  Result<Committed> put_into_empty_place();
  void discard();

  std::vector<UniqueHandle> held_;  // the folders on the way, until the file is in place
  std::string shown_;               // the target as on disk, for reasons
  std::wstring target_;
  std::string folder_;
  bool exists_;
  DWORD attributes_;
  std::wstring temp_;
  UniqueHandle file_;
  DWORD kept_attributes_ = 0;
};

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
  if (!file_) return Failure{"commit " + shown_ + ": not open"};
  Status status;
  if (!FlushFileBuffers(file_.get())) {
    const DWORD error = GetLastError();
    status = failed("flush", error);
  }
  if (!file_.close() && status) {
    const DWORD error = GetLastError();
    status = failed("close", error);
  }
  if (status && kept_attributes_ != 0) SetFileAttributesW(temp_.c_str(), kept_attributes_);
  Result<Committed> outcome = Committed::Placed;
  if (!status) {
    outcome = status.failure();
  } else if (const DWORD now = GetFileAttributesW(target_.c_str());
             now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // A link put at the place meanwhile stays as it is.
    outcome = Failure{"replace " + reparse_point_in_the_way(shown_).reason, kReparsePointInTheWay};
  } else if (placement == Placement::OnlyIfAbsent) {
    outcome = put_into_empty_place();
  } else if (Status placed = is_running_executable(target_) ? put_running_program_in_place() : put_in_place();
             !placed) {
    outcome = placed.failure();
  }
  if (!outcome || *outcome == Committed::PlaceTaken) {
    discard();
    return outcome;
  }
  temp_.clear();
  held_.clear();
  return outcome;
}

// One attempt: a file in use (sharing violation, access denied) fails now
// and stays as it was; the next run tries again.
Status Win32ReplacementFile::put_in_place() {
  if (MoveFileExW(temp_.c_str(), target_.c_str(), kMoveInPlace)) return {};
  const DWORD error = GetLastError();
  return failed("replace", error);
}

// The place is looked at again just before the swap, and the swap itself
// never replaces: a file that appeared at any moment before stays. The file
// system matches the name regardless of letter case.
Result<Committed> Win32ReplacementFile::put_into_empty_place() {
  if (GetFileAttributesW(target_.c_str()) != INVALID_FILE_ATTRIBUTES) return Committed::PlaceTaken;
  if (MoveFileExW(temp_.c_str(), target_.c_str(), kMoveIntoEmptyPlace)) return Committed::Placed;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return Committed::PlaceTaken;
  return failed("move into", error);
}

Status Win32ReplacementFile::put_running_program_in_place() {
  const std::wstring aside = set_aside_path(target_);
  if (!MoveFileExW(target_.c_str(), aside.c_str(), kMoveInPlace)) {
    const DWORD error = GetLastError();
    return failed("set aside the running program", error);
  }
  if (MoveFileExW(temp_.c_str(), target_.c_str(), kMoveInPlace)) return {};
  const DWORD error = GetLastError();
  // The program must not go missing: it comes back to its name.
  MoveFileExW(aside.c_str(), target_.c_str(), kMoveInPlace);
  return failed("replace the running program", error);
}

}  // namespace

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
