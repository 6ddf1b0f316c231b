#include "window/unattended/unchanging_file_system.hpp"

#include <utility>

namespace qor {
namespace {

Failure refused(const std::string& what, const std::string& path) {
  return Failure{what + " " + path + ": refused, this run only checks"};
}

class NoPlacements : public PlacementRun {
 public:
  Status hold(std::unique_ptr<ReplacementFile> /*file*/, const Placing& /*placing*/) override {
    return Failure{"place a file: refused, this run only checks"};
  }
  std::size_t held() const override { return 0; }
  std::vector<Result<Committed>> place_all() override { return {}; }
  Status settle() override { return {}; }
};

}  // namespace

MakeFileSystem unchanging(MakeFileSystem make) {
  return [make = std::move(make)](const std::string& program_folder) -> std::unique_ptr<FileSystem> {
    auto files = make(program_folder);
    if (!files) return nullptr;
    return std::make_unique<UnchangingFileSystem>(std::move(files));
  };
}

Status UnchangingFileSystem::CreateFolder(const std::string& path) { return refused("create the folder", path); }

Result<std::unique_ptr<ReplacementFile>> UnchangingFileSystem::replace_file(const std::string& path) {
  return refused("write", path);
}

Status UnchangingFileSystem::set_last_write_time(const std::string& path, const FILETIME& /*utc*/) {
  return refused("stamp", path);
}

Status UnchangingFileSystem::make_startable(const std::string& path) { return refused("make startable", path); }

std::unique_ptr<PlacementRun> UnchangingFileSystem::start_placement_run() { return std::make_unique<NoPlacements>(); }

}  // namespace qor
