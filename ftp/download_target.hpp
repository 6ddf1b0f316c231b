// The local end of a download. Bytes go into a temporary file in the target
// folder; only a complete, flushed file is renamed over the target, so a
// failed or broken transfer leaves the old file exactly as it was.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

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
  void discard();

  std::string target_;
  std::string temp_;
  static constexpr std::uint64_t kWritebackStep = std::uint64_t{8} << 20;

  int fd_ = -1;
  mode_t mode_ = 0644;
  std::uint64_t written_ = 0;
  std::uint64_t flushed_from_ = 0;
};

}  // namespace qor
