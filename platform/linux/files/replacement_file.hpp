// The one way this client puts a file in place on Linux, for
// downloads and the desktop entry alike: bytes go into a temporary file in
// the target folder (named as download_names.hpp says); only a complete
// file, flushed to the disk, is renamed over the target, and the folder is
// flushed after the rename.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.hpp"
#include "platform/linux/files/background_flush.hpp"
#include "platform/linux/files/folded_names.hpp"
#include "platform/linux/files/unique_fd.hpp"

namespace qor {

// Replaces the entry `name` of the open `folder`; `shown` is the target's
// full path for reasons. Fails when the folder is not writable, or when the
// existing target is write-protected, a symbolic link or no regular file.
// `names`, when given, is what the place is looked at in again before an
// OnlyIfAbsent swap; without it the folder is read then.
Result<std::unique_ptr<ReplacementFile>> start_replacement(UniqueFd folder, std::string name, std::string shown,
                                                           std::shared_ptr<FoldedNames> names = nullptr);
// The same for a full path; a link at the path is followed to its file.
Result<std::unique_ptr<ReplacementFile>> start_replacement(const std::string& path);

// The whole of `content` at `path` with permission bits `mode`, in one step.
Status replace_with_content(const std::string& path, const std::string& content, mode_t mode);

class PosixReplacementFile final : public ReplacementFile {
 public:
  PosixReplacementFile(UniqueFd folder, std::string name, std::string shown,
                       std::shared_ptr<FoldedNames> names = nullptr)
      : folder_(std::move(folder)), name_(std::move(name)), target_(std::move(shown)), names_(std::move(names)) {}
  PosixReplacementFile(const PosixReplacementFile&) = delete;
  PosixReplacementFile& operator=(const PosixReplacementFile&) = delete;
  // Removes the temporary file unless it was committed.
  ~PosixReplacementFile() override;

  Status open();
  Status write(const char* data, std::size_t size) override;
  Status rewind() override;
  std::optional<DiskSpace> disk_space() const override;
  Result<Committed> commit(Placement placement) override;
  // The permission bits the file gets, instead of those of the file it replaces.
  void set_mode(mode_t mode) { mode_ = mode; }

  // The steps of commit() for a run that waits for the disk once for many
  // files (placement_run.hpp). finish(): every byte has arrived; the file
  // gets its permission bits (execute permission too when it is to be
  // startable) and its stamp, and its write-back starts, not waited for.
  Status finish(const Placing& placing);
  // Waits until the bytes are written to the disk, telling a write error
  // (the disk's own cache is the run's to flush).
  Status wait_until_written();
  // Closes the file and renames it into place, flushing nothing.
  Result<Committed> place(Placement placement);
  // The open folder the file goes into, the temporary name in it, the
  // target's name there and its full path.
  int folder() const { return folder_.get(); }
  const std::string& temporary_name() const { return temp_; }
  const std::string& name() const { return name_; }
  const std::string& target() const { return target_; }

 private:
  Status write_back();
  Status swap_into_place();
  Result<Committed> swap_into_empty_place();
  Failure failed(const std::string& what, int error) const;
  void discard();

  // Write-back starts every kWritebackStep bytes; at most kDirtyLimit bytes
  // wait in memory for the disk, whatever the size of the file.
  static constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;
  static constexpr std::uint64_t kDirtyLimit = std::uint64_t{64} << 20;
  // A background flush starts once this much has arrived since the last one.
  static constexpr std::uint64_t kFlushStep = std::uint64_t{16} << 20;

  UniqueFd folder_;
  std::string name_;
  std::string target_;
  std::shared_ptr<FoldedNames> names_;
  std::string temp_;  // name in folder_
  int fd_ = -1;
  mode_t mode_ = 0644;
  std::uint64_t written_ = 0;
  std::uint64_t submitted_ = 0;  // handed to write-back below this offset
  std::uint64_t settled_ = 0;    // on its way to the disk below this offset
  std::uint64_t flush_started_at_ = 0;
  BackgroundFlush flush_;
};

}  // namespace qor
