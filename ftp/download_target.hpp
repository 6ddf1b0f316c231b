// The local end of a download. Bytes go into a temporary file in the target
// folder; only a complete, flushed file is renamed over the target, so a
// failed or broken transfer leaves the old file exactly as it was.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "background_flush.hpp"
#include "byte_sink.hpp"

namespace qor {

class DownloadTarget : public ByteSink {
 public:
  // ok() is false when the folder is missing or not writable, or when the
  // existing target is write-protected or no regular file.
  explicit DownloadTarget(const std::string& path);
  DownloadTarget(const DownloadTarget&) = delete;
  DownloadTarget& operator=(const DownloadTarget&) = delete;
  // Removes the temporary file unless it was committed.
  ~DownloadTarget() override;

  bool ok() const { return fd_ >= 0; }
  bool write(const char* data, std::size_t size) override;
  bool rewind() override;
  // Flushes the file to disk and puts it in place of the target. A file
  // that replaces an existing one keeps that file's permission bits.
  bool commit();

 private:
  bool write_back();
  void discard();

  // Write-back starts every kWritebackStep bytes; at most kDirtyLimit bytes
  // wait in memory for the disk, whatever the size of the file.
  static constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;
  static constexpr std::uint64_t kDirtyLimit = std::uint64_t{64} << 20;
  // A background flush starts once this much has arrived since the last one.
  static constexpr std::uint64_t kFlushStep = std::uint64_t{16} << 20;

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  mode_t mode_ = 0644;
  std::uint64_t written_ = 0;
  std::uint64_t submitted_ = 0;  // handed to write-back below this offset
  std::uint64_t settled_ = 0;    // on its way to the disk below this offset
  std::uint64_t flush_started_at_ = 0;
  BackgroundFlush flush_;
};

}  // namespace qor
