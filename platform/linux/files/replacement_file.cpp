#include "platform/linux/files/replacement_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/linux/files/program_folder_root.hpp"
#include "platform/linux/files/stamp_file.hpp"
#include "portable/transfer/download_names.hpp"

namespace qor {

namespace {

mode_t default_file_mode() {
  // umask can only be read by setting it; the program has one thread.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

void sync_folder(int folder) {
  const UniqueFd dir = open_for_listing(folder);
  if (dir.get() >= 0) ::fsync(dir.get());
}

// A write error that sync_file_range reports is reported once only: the
// final fsync would no longer see it, so it fails the download here (the
// errno is the result). Any other failure only means that write-back is left
// to the final flush.
int sync_range(int fd, std::uint64_t from, std::uint64_t to, unsigned flags) {
  if (::sync_file_range(fd, static_cast<off_t>(from), static_cast<off_t>(to - from), flags) == 0) return 0;
  return errno == EIO || errno == ENOSPC || errno == EDQUOT ? errno : 0;
}

bool is_link(int folder, const std::string& name) {
  struct stat st {};
  return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

Result<std::unique_ptr<ReplacementFile>> start_replacement(UniqueFd folder, std::string name, std::string shown,
                                                           std::shared_ptr<FoldedNames> names) {
  auto file =
      std::make_unique<PosixReplacementFile>(std::move(folder), std::move(name), std::move(shown), std::move(names));
  if (Status opened = file->open(); !opened) return opened.failure();
  return std::unique_ptr<ReplacementFile>(std::move(file));
}

Result<std::unique_ptr<ReplacementFile>> start_replacement(const std::string& path) {
  std::string target = path;
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    // Through a link, the file it names is the one to replace.
    std::error_code ec;
    const auto real = std::filesystem::canonical(target, ec);
    if (ec) return failure_from_errno("follow link " + target, ec.value());
    target = real.string();
  }
  const auto slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  UniqueFd dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return failure_from_errno("create a temporary file for " + target, errno);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  return start_replacement(std::move(dir), std::move(name), std::move(target));
}

Status replace_with_content(const std::string& path, const std::string& content, mode_t mode) {
  auto started = start_replacement(path);
  if (!started) return started.failure();
  auto& file = static_cast<PosixReplacementFile&>(**started);
  file.set_mode(mode);
  if (Status written = file.write(content.data(), content.size()); !written) return written;
  const auto committed = file.commit(Placement::Replace);
  if (!committed) return committed.failure();
  return {};
}

Failure PosixReplacementFile::failed(const std::string& what, int error) const {
  return failure_from_errno(what + " " + target_, error);
}

Status PosixReplacementFile::open() {
  const int folder = folder_.get();
  struct stat st {};
  if (::fstatat(folder, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode)) return Failure{"replace " + target_ + ": a symbolic link is in the way", ELOOP};
    if (!S_ISREG(st.st_mode)) return Failure{"replace " + target_ + ": not a regular file"};
    // A write-protected file (no write bit, the read-only attribute's
    // counterpart, or none for us) is not replaced behind its owner's back.
    if ((st.st_mode & 0222) == 0 || ::faccessat(folder, name_.c_str(), W_OK, 0) != 0)
      return Failure{"replace " + target_ + ": the file is write-protected", EACCES};
    // A fetched file never runs with the rights of the old file's owner.
    mode_ = st.st_mode & 07777 & ~mode_t{S_ISUID | S_ISGID};
  } else if (errno == ENOENT) {
    mode_ = default_file_mode();
  } else {
    return failed("look at", errno);
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = new_temporary_name();
    fd_ = ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      temp_ = std::move(name);
      return {};
    }
    if (errno != EEXIST) break;
  }
  return failed("create a temporary file for", errno);
}

PosixReplacementFile::~PosixReplacementFile() { discard(); }

void PosixReplacementFile::discard() {
  if (fd_ >= 0) {
    // A background flush holds its own reference to the file.
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlinkat(folder_.get(), temp_.c_str(), 0);
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

std::optional<DiskSpace> PosixReplacementFile::disk_space() const {
  struct statvfs disk {};
  if (::fstatvfs(fd_ >= 0 ? fd_ : folder_.get(), &disk) != 0) return std::nullopt;
  // f_bavail, not f_bfree: the blocks kept for the superuser are no room for us.
  return DiskSpace{std::uint64_t{disk.f_bavail} * disk.f_frsize, std::uint64_t{disk.f_blocks} * disk.f_frsize};
}

Status PosixReplacementFile::rewind() {
  written_ = 0;
  submitted_ = 0;
  settled_ = 0;
  flush_started_at_ = 0;
  if (fd_ >= 0 && ::ftruncate(fd_, 0) == 0 && ::lseek(fd_, 0, SEEK_SET) == 0) return {};
  return failed("start again", fd_ >= 0 ? errno : EBADF);
}

Result<Committed> PosixReplacementFile::commit(Placement placement) {
  if (fd_ < 0) return Failure{"commit " + target_ + ": not open"};
  flush_.wait();
  // fsync rather than fdatasync: the permission bits must last as well.
  Status status;
  if (flush_.failed()) {
    status = failed("flush", EIO);
  } else if (::fchmod(fd_, mode_) != 0 || ::fsync(fd_) != 0) {
    status = failed("flush", errno);
  }
  if (!status) {
    discard();
    return status.failure();
  }
  Result<Committed> outcome = place(placement);
  if (outcome && *outcome == Committed::Placed) sync_folder(folder_.get());
  return outcome;
}

Status PosixReplacementFile::finish(const Placing& placing) {
  if (fd_ < 0) return Failure{"finish " + target_ + ": not open"};
  // Execute permission wherever read permission is granted.
  if (placing.startable) mode_ |= (mode_ & 0444) >> 2;
  if (::fchmod(fd_, mode_) != 0) return failed("flush", errno);
  if (placing.last_write) {
    const timespec times[2] = {{0, UTIME_OMIT}, {unix_time_of(*placing.last_write), 0}};
    if (::futimens(fd_, times) != 0) return failed("stamp", errno);
  }
  // A length of 0 reaches to the end of the file.
  if (const int error = sync_range(fd_, submitted_, submitted_, SYNC_FILE_RANGE_WRITE)) return failed("write", error);
  submitted_ = written_;
  return {};
}

Status PosixReplacementFile::wait_until_written() {
  if (fd_ < 0) return Failure{"flush " + target_ + ": not open"};
  flush_.wait();
  if (flush_.failed()) return failed("flush", EIO);
  // Unlike the other waits, this one must not pass an error over: it is the
  // last look at this file's write-back before the rename.
  const unsigned wait_for_disk = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  if (::sync_file_range(fd_, 0, 0, wait_for_disk) != 0) return failed("flush", errno);
  return {};
}

Result<Committed> PosixReplacementFile::place(Placement placement) {
  if (fd_ < 0) return Failure{"place " + target_ + ": not open"};
  const int closed = ::close(fd_);
  const int close_error = errno;
  fd_ = -1;
  Result<Committed> outcome = Committed::Placed;
  if (closed != 0) {
    outcome = failed("close", close_error);
  } else if (placement == Placement::Replace) {
    if (Status swapped = swap_into_place(); !swapped) outcome = swapped.failure();
  } else {
    outcome = swap_into_empty_place();
  }
  if (!outcome || *outcome == Committed::PlaceTaken) {
    discard();
    return outcome;
  }
  temp_.clear();
  return outcome;
}

Status PosixReplacementFile::swap_into_place() {
  // A link put at the place meanwhile stays as it is.
  if (is_link(folder_.get(), name_)) return Failure{"replace " + target_ + ": a symbolic link is in the way", ELOOP};
  if (::renameat(folder_.get(), temp_.c_str(), folder_.get(), name_.c_str()) != 0) return failed("rename into", errno);
  return {};
}

// The place is looked at again just before the swap, in every letter case,
// and the swap itself never replaces: a file that appeared at any moment
// before stays.
Result<Committed> PosixReplacementFile::swap_into_empty_place() {
  const int folder = folder_.get();
  if (names_ ? place_taken(folder, name_, *names_) : place_taken(folder, name_)) return Committed::PlaceTaken;
  if (::renameat2(folder, temp_.c_str(), folder, name_.c_str(), RENAME_NOREPLACE) == 0) return Committed::Placed;
  if (errno == EEXIST) return Committed::PlaceTaken;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return failed("rename into", errno);
  // A file system without an exclusive rename: a hard link is made only
  // where no entry is, and the temporary name goes after it.
  if (::linkat(folder, temp_.c_str(), folder, name_.c_str(), 0) != 0)
    return errno == EEXIST ? Result<Committed>(Committed::PlaceTaken) : Result<Committed>(failed("link into", errno));
  ::unlinkat(folder, temp_.c_str(), 0);
  temp_.clear();
  return Committed::Placed;
}

}  // namespace qor
