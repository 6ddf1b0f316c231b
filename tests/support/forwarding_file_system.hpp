// A file system for tests that changes one operation and leaves the rest to
// the local file system.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.hpp"

namespace qor::test {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(const std::string& program_folder) : real_(make_local_file_system(program_folder)) {}

  bool FolderExists(const std::string& path) override { return real_->FolderExists(path); }
  Status CreateFolder(const std::string& path) override { return real_->CreateFolder(path); }
  bool FileExists(const std::string& path) override { return real_->FileExists(path); }
  std::string GetFileVersion(const std::string& path) override { return real_->GetFileVersion(path); }
  Result<std::chrono::system_clock::time_point> DateLastModified(const std::string& path) override {
    return real_->DateLastModified(path);
  }
  Result<std::string> regular_file_inside(const std::string& path) override { return real_->regular_file_inside(path); }
  Status read_file(const std::string& path, ByteSink& sink, std::uint64_t max_bytes) override {
    return real_->read_file(path, sink, max_bytes);
  }
  Result<std::unique_ptr<ReplacementFile>> replace_file(const std::string& path) override {
    return real_->replace_file(path);
  }
  Status set_last_write_time(const std::string& path, const FILETIME& utc) override {
    return real_->set_last_write_time(path, utc);
  }
  Status make_startable(const std::string& path) override { return real_->make_startable(path); }
  Status remove_download_leftovers() override { return real_->remove_download_leftovers(); }
  std::unique_ptr<PlacementRun> start_placement_run() override { return real_->start_placement_run(); }
  Status finish_interrupted_run() override { return real_->finish_interrupted_run(); }

 private:
  std::unique_ptr<FileSystem> real_;
};

}  // namespace qor::test
