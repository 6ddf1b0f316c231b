#include "replacement_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace qor {

namespace {

std::string folder_of(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

mode_t default_file_mode() {
  // umask can only be read by setting it; the program has one thread.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void sync_folder(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
}

// A write error that sync_file_range reports is reported once only: the
// final fsync would no longer see it, so it fails the download here (the
// errno is the result). Any other failure only means that write-back is left
// to the final flush.
int sync_range(int fd, std::uint64_t from, std::uint64_t to, unsigned flags) {
  if (::sync_file_range(fd, static_cast<off_t>(from), static_cast<off_t>(to - from), flags) == 0) return 0;
  return errno == EIO || errno == ENOSPC || errno == EDQUOT ? errno : 0;
}

}  // namespace

Result<std::unique_ptr<ReplacementFile>> start_replacement(const std::string& path) {
  auto file = std::make_unique<PosixReplacementFile>(path);
  if (Status opened = file->open(); !opened) return opened.failure();
  return std::unique_ptr<ReplacementFile>(std::move(file));
}

Status replace_with_content(const std::string& path, const std::string& content, mode_t mode) {
  PosixReplacementFile file(path);
  Status status = file.open();
  if (status) {
    file.set_mode(mode);
    status = file.write(content.data(), content.size());
  }
  return status ? file.commit() : status;
}

Failure PosixReplacementFile::failed(const std::string& what, int error) const {
  return failure_from_errno(what + " " + target_, error);
}

Status PosixReplacementFile::open() {
  struct stat st {};
  if (::lstat(target_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // Through a link, the file it names is the one to replace.
    std::error_code ec;
    const auto real = std::filesystem::canonical(target_, ec);
    if (ec) return failed("follow link", ec.value());
    target_ = real.string();
  }
  if (::stat(target_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return Failure{"replace " + target_ + ": not a regular file"};
    // A write-protected file (no write bit, the read-only attribute's
    // counterpart, or none for us) is not replaced behind its owner's back.
    if ((st.st_mode & 0222) == 0 || ::access(target_.c_str(), W_OK) != 0)
      return Failure{"replace " + target_ + ": the file is write-protected", EACCES};
    mode_ = st.st_mode & 07777;
  } else if (errno == ENOENT) {
    mode_ = default_file_mode();
  } else {
    return failed("look at", errno);
  }
  std::string pattern = folder_of(target_) + "/.qor-download-XXXXXX";
  fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) return failed("create a temporary file for", errno);
  temp_ = std::move(pattern);
  return {};
}

PosixReplacementFile::~PosixReplacementFile() { discard(); }

void PosixReplacementFile::discard() {
  if (fd_ >= 0) {
    // A background flush holds its own reference to the file.
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

Status PosixReplacementFile::write(const char* data, std::size_t size) {
  if (fd_ < 0) return Failure{"write " + target_ + ": not open"};
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return failed("write", errno);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    written_ += static_cast<std::uint64_t>(n);
  }
  if (written_ - submitted_ < kWritebackStep) return {};
  return write_back();
}

// The disk is kept busy while the rest of the file is still arriving, so
// that the flush before the rename has little left to do. A flush in the
// background writes out what has arrived and empties the disk's own cache,
// which otherwise holds most of the file until the final fsync; it runs in
// the kernel, so the transfer does not wait for it. Without one, ranges are
// handed to the disk from here. Waiting for the oldest ranges bounds the
// memory a download holds when the disk is slower than the network.
Status PosixReplacementFile::write_back() {
  if (written_ - flush_started_at_ >= kFlushStep && flush_.start(fd_)) {
    flush_started_at_ = written_;
  } else if (!flush_.available()) {
    if (const int error = sync_range(fd_, submitted_, written_, SYNC_FILE_RANGE_WRITE)) return failed("write", error);
  }
  submitted_ = written_;
  if (written_ > settled_ + kDirtyLimit) {
    const std::uint64_t upto = written_ - kDirtyLimit;
    const unsigned wait_for_disk = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (const int error = sync_range(fd_, settled_, upto, wait_for_disk)) return failed("write", error);
    settled_ = upto;
  }
  if (flush_.failed()) return failed("write", EIO);
  return {};
}

Status PosixReplacementFile::rewind() {
  written_ = 0;
  submitted_ = 0;
  settled_ = 0;
  flush_started_at_ = 0;
  if (fd_ >= 0 && ::ftruncate(fd_, 0) == 0 && ::lseek(fd_, 0, SEEK_SET) == 0) return {};
  return failed("start again", fd_ >= 0 ? errno : EBADF);
}

Status PosixReplacementFile::commit() {
  if (fd_ < 0) return Failure{"commit " + target_ + ": not open"};
  flush_.wait();
  // fsync rather than fdatasync: the permission bits must last as well.
  Status status;
  if (flush_.failed()) {
    status = failed("flush", EIO);
  } else if (::fchmod(fd_, mode_) != 0 || ::fsync(fd_) != 0) {
    status = failed("flush", errno);
  }
  const int closed = ::close(fd_);
  const int close_error = errno;
  fd_ = -1;
  if (status && closed != 0) status = failed("close", close_error);
  if (status && std::rename(temp_.c_str(), target_.c_str()) != 0) status = failed("rename into", errno);
  if (!status) {
    discard();
    return status;
  }
  temp_.clear();
  sync_folder(folder_of(target_));
  return {};
}

}  // namespace qor
