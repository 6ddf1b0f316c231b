// The window over a temporary program folder for the install steps: a file
// system that answers "exe" versions from a list, and a fetch that copies
// files from a local folder standing in for the FTP login folder.
#pragma once

#include <filesystem>
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

// Copies a file from `source` into the local folder (not over a file there
// when only an empty place will do); notes every call and its placement.
struct CopyingFetch {
  std::string source;
  std::vector<std::string> calls;
  std::vector<Placement> placements;
  std::vector<std::string> failing;  // names that fail to arrive

  FetchFile fn() {
    return [this](const std::string& name, const std::string& folder, Placement placement) {
      calls.push_back(folder + "|" + name);
      placements.push_back(placement);
      namespace fs = std::filesystem;
      for (const auto& f : failing)
        if (f == name) return FetchOutcome::Failed;
      std::error_code ec;
      const auto options =
          placement == Placement::Replace ? fs::copy_options::overwrite_existing : fs::copy_options::skip_existing;
      if (fs::copy_file(fs::path(source) / name, fs::path(folder) / name, options, ec)) return FetchOutcome::Placed;
      return ec ? FetchOutcome::Failed : FetchOutcome::PlaceTaken;
    };
  }
};

}  // namespace qor::test
