// The window over a temporary program folder for the install steps: a file
// system that answers "exe" versions from a list, and a fetch that copies
// files from a local folder standing in for the FTP login folder.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "install/install_steps.hpp"
#include "server/server_steps.hpp"
#include "tests/support/files.hpp"
#include "tests/support/forwarding_file_system.hpp"
#include "tests/support/recording_host.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor::test {

// The local file system, with "exe" versions by local path.
class VersionListFileSystem : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::string GetFileVersion(const std::string& p) override {
    const auto it = versions.find(local_path(p));
    return it == versions.end() ? std::string() : it->second;
  }
  std::map<std::string, std::string> versions;
};

// A window loaded as the program loads it, over a temporary program folder.
struct InstallFixture {
  TempDir program;
  RecordingHost host;
  VersionListFileSystem* fs = nullptr;
  std::unique_ptr<QOR_sync_FRM> form;

  InstallFixture() {
    shared_variables() = SharedVariables{};
    FormServices services{&host,
                          [this](const std::string& folder) {
                            auto made = std::make_unique<VersionListFileSystem>(folder);
                            fs = made.get();
                            return std::unique_ptr<FileSystem>(std::move(made));
                          },
                          program.path()};
    form = std::make_unique<QOR_sync_FRM>(std::move(services));
    form->Form_Load();
  }
  ~InstallFixture() { shared_variables() = SharedVariables{}; }
  std::string at(const std::string& relative) const { return program / relative; }

  // Builds List1 and List3 the way the record parse does, with the real
  // version check.
  void build_lists(const std::vector<std::string>& records, int mode) {
    form->List1.Clear();
    form->List3.Clear();
    form->checked_records.clear();
    form->package_mode = static_cast<std::int16_t>(mode);
    for (const auto& r : records) form->List1.AddItem(r);
    form->steps.check_package_due = [this] { check_package_due(*form); };
    parse_package_records(*form);
  }
  std::vector<std::string> due() const { return form->List3.texts(); }
};

// Copies a file from `source` into the download run, which puts it in the
// local folder as the placement says; notes every call and its placement.
struct CopyingFetch {
  std::string source;
  std::vector<std::string> calls;
  std::vector<Placement> placements;
  std::vector<std::string> failing;  // names that fail to arrive

  FetchFile fn(FileSystem& file_system) {
    return [this, &file_system](const std::string& name, const std::string& folder, const Placing& placing,
                                PlacementRun& run) {
      calls.push_back(folder + "|" + name);
      placements.push_back(placing.placement);
      for (const auto& f : failing)
        if (f == name) return FetchOutcome::Failed;
      std::ifstream in(std::filesystem::path(source) / name, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      auto target = file_system.replace_file(folder + "/" + name);
      if (!in || !target || !(*target)->write(bytes.data(), bytes.size())) return FetchOutcome::Failed;
      if (!run.hold(std::move(*target), placing)) return FetchOutcome::Failed;
      return FetchOutcome::Held;
    };
  }
};

}  // namespace qor::test
