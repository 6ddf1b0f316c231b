#include "platform/win32/pe_file.hpp"

#include <algorithm>
#include <cstdint>

#include "platform/win32/wide_text.hpp"
#include "portable/pe/pe_version.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {
namespace {

// Reads only the few pieces the walk asks for, each at its own offset.
class FileSource final : public ByteSource {
 public:
  FileSource(HANDLE file, std::uint64_t size) : file_(file), size_(size) {}
  bool read(std::uint64_t offset, std::size_t n, unsigned char* out) const override {
    if (offset > size_ || n > size_ - offset) return false;
    std::size_t done = 0;
    while (done < n) {
      const std::uint64_t at = offset + done;
      OVERLAPPED position{};
      position.Offset = static_cast<DWORD>(at);
      position.OffsetHigh = static_cast<DWORD>(at >> 32);
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 20));
      DWORD got = 0;
      if (!ReadFile(file_, out + done, want, &got, &position) || got == 0) return false;  // error, or the file shrank
      done += got;
    }
    return true;
  }

 private:
  HANDLE file_;
  std::uint64_t size_;
};

}  // namespace

std::string read_pe_file_version_at(const std::string& path) {
  // Others may go on using the file, even delete or rename it meanwhile.
  const UniqueHandle file(CreateFileW(to_wide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return {};
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return {};
  const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return read_pe_file_version(FileSource(file.get(), size));
}

}  // namespace qor::win32
