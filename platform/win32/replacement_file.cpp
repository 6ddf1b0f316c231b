#include "replacement_file.hpp"

#include <algorithm>
#include <memory>

#include "running_executable.hpp"
#include "wide_text.hpp"
#include "windows_error.hpp"
#include "windows_names.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "unique_handle.hpp"
#include "windows_api.hpp"

namespace qor::win32 {
namespace {

// Attributes that describe the file rather than its state; the replacement
// takes them over from the file it replaces.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD kMoveInPlace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

// The path up to and with its last separator; empty for a bare name.
std::wstring folder_part(const std::wstring& path) {
  const auto separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

// The path with its last name spelt as the file system holds it: a file
// named in other letters (the server's lower case) keeps its own spelling.
std::wstring spelt_as_on_disk(const std::wstring& path) {
  WIN32_FIND_DATAW found{};
  const std::unique_ptr<void, decltype(&FindClose)> find(FindFirstFileW(path.c_str(), &found), &FindClose);
  if (find.get() == INVALID_HANDLE_VALUE) return path;
  return folder_part(path) + found.cFileName;
}

class Win32ReplacementFile final : public ReplacementFile {
 public:
  explicit Win32ReplacementFile(std::string path) : shown_(std::move(path)), target_(to_wide(shown_)) {}
  Win32ReplacementFile(const Win32ReplacementFile&) = delete;
  Win32ReplacementFile& operator=(const Win32ReplacementFile&) = delete;
  ~Win32ReplacementFile() override { discard(); }

  Status open();
  Status write(const char* data, std::size_t size) override;
  Status rewind() override;
  Status commit() override;

 private:
  Failure failed(const std::string& what, DWORD error) const { return windows_failure(what + " " + shown_, error); }
  Status put_in_place();
  Status put_running_program_in_place();
  void discard();

  std::string shown_;  // the target as the caller named it, for reasons
  std::wstring target_;
  std::wstring temp_;
  UniqueHandle file_;
  DWORD kept_attributes_ = 0;
  bool replaces_ = false;
};

Status Win32ReplacementFile::open() {
  if (const auto alias = aliased_component(shown_))
    return Failure{"replace " + shown_ + ": Windows would not keep the name \"" + *alias + "\" as written",
                   ERROR_INVALID_NAME};
  const DWORD attributes = GetFileAttributesW(target_.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || (attributes & FILE_ATTRIBUTE_DEVICE) != 0)
      return Failure{"replace " + shown_ + ": not a regular file"};
    // A write-protected file is not replaced behind its owner's back.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
      return Failure{"replace " + shown_ + ": the file is write-protected", ERROR_ACCESS_DENIED};
    kept_attributes_ = attributes & kKeptAttributes;
    replaces_ = true;
    target_ = spelt_as_on_disk(target_);
  } else if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND) {
    return failed("look at", error);
  }

  std::wstring name(MAX_PATH, L'\0');
  const std::wstring folder = folder_part(target_);
  if (GetTempFileNameW(folder.empty() ? L"." : folder.c_str(), L"qor", 0, name.data()) == 0) {
    const DWORD error = GetLastError();
    return failed("create a temporary file for", error);
  }
  name.resize(name.find(L'\0'));
  temp_ = std::move(name);
  file_ = UniqueHandle(CreateFileW(temp_.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file_) {
    const DWORD error = GetLastError();
    return failed("open a temporary file for", error);
  }
  return {};
}

void Win32ReplacementFile::discard() {
  file_.reset();
  if (!temp_.empty()) {
    DeleteFileW(temp_.c_str());
    temp_.clear();
  }
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

Status Win32ReplacementFile::rewind() {
  if (!file_) return Failure{"start again " + shown_ + ": not open"};
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get())) {
    const DWORD error = GetLastError();
    return failed("start again", error);
  }
  return {};
}

Status Win32ReplacementFile::commit() {
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
  if (status) status = replaces_ && is_running_executable(target_) ? put_running_program_in_place() : put_in_place();
  if (!status) {
    discard();
    return status;
  }
  temp_.clear();
  return {};
}

// One attempt: a file in use (sharing violation, access denied) fails now
// and stays as it was; the next run tries again.
Status Win32ReplacementFile::put_in_place() {
  if (MoveFileExW(temp_.c_str(), target_.c_str(), kMoveInPlace)) return {};
  const DWORD error = GetLastError();
  return failed("replace", error);
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

Result<std::unique_ptr<ReplacementFile>> start_replacement(const std::string& path) {
  auto file = std::make_unique<Win32ReplacementFile>(path);
  if (Status opened = file->open(); !opened) return opened.failure();
  return std::unique_ptr<ReplacementFile>(std::move(file));
}

}  // namespace qor::win32
