#include "platform/linux/files/pe_file.hpp"

#include <cerrno>
#include <cstdint>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/files/unique_fd.hpp"
#include "portable/pe/pe_icon.hpp"
#include "portable/pe/pe_version.hpp"

namespace qor {
namespace {

// Reads only the few pieces the walk asks for.
class FileSource final : public ByteSource {
 public:
  FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  bool read(std::uint64_t offset, std::size_t n, unsigned char* out) const override {
    if (offset > size_ || n > size_ - offset) return false;
    std::size_t done = 0;
    while (done < n) {
      const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;  // error, or the file shrank under us
      done += static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
  std::uint64_t size_;
};

// Non-blocking, so a FIFO or device at the path cannot stall the window;
// anything but a regular file is refused right after.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

// What `read` finds in the open file, or what it finds in no file.
template <class Read>
auto read_pe_file(const UniqueFd& fd, Read read) -> decltype(read(std::declval<const ByteSource&>())) {
  if (fd.get() < 0) return {};
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return {};
  return read(FileSource(fd.get(), static_cast<std::uint64_t>(st.st_size)));
}

std::string version_of(const ByteSource& source) { return read_pe_file_version(source); }

}  // namespace

std::string read_pe_file_version_at(const std::string& path) {
  return read_pe_file(UniqueFd(::open(path.c_str(), kReadFlags)), version_of);
}

std::string read_pe_file_version_at(int folder, const std::string& name) {
  return read_pe_file(UniqueFd(::openat(folder, name.c_str(), kReadFlags | O_NOFOLLOW)), version_of);
}

std::vector<unsigned char> read_pe_icon_at(const std::string& path) {
  return read_pe_file(UniqueFd(::open(path.c_str(), kReadFlags)),
                      [](const ByteSource& source) { return read_pe_icon(source); });
}

}  // namespace qor
