// The program folder as a run that only checks sees it: every look goes to
// the real file system, every write is refused, and the housekeeping a real
// run does first (finishing an interrupted run, removing leftovers of killed
// downloads) is left to that run. Nothing in the folder changes.
#pragma once

#include <memory>

#include "platform/file_system.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {

// The file system `make` makes, seen through unchanging eyes.
MakeFileSystem unchanging(MakeFileSystem make);

class UnchangingFileSystem : public FileSystem {
 public:
  explicit UnchangingFileSystem(std::unique_ptr<FileSystem> files) : files_(std::move(files)) {}

  bool FolderExists(const std::string& path) override { return files_->FolderExists(path); }
  bool FileExists(const std::string& path) override { return files_->FileExists(path); }
  std::string GetFileVersion(const std::string& path) override { return files_->GetFileVersion(path); }
  Result<std::chrono::system_clock::time_point> DateLastModified(const std::string& path) override {
    return files_->DateLastModified(path);
  }
  Result<std::string> regular_file_inside(const std::string& path) override {
    return files_->regular_file_inside(path);
  }

  Status read_file(const std::string& path, ByteSink& sink, std::uint64_t max_bytes) override {
    return files_->read_file(path, sink, max_bytes);
  }
  Status CreateFolder(const std::string& path) override;
  Result<std::unique_ptr<ReplacementFile>> replace_file(const std::string& path) override;
  Status set_last_write_time(const std::string& path, const FILETIME& utc) override;
  Status make_startable(const std::string& path) override;
  Status remove_download_leftovers() override { return {}; }
  std::unique_ptr<PlacementRun> start_placement_run() override;
  Status finish_interrupted_run() override { return {}; }

 private:
  std::unique_ptr<FileSystem> files_;
};

}  // namespace qor
