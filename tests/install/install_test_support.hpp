// Doubles for the install tests: a window host that records, a file system
// that answers "exe" versions from a table, and a fetch that copies files
// from a local folder standing in for the FTP login folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QOR_sync_FRM.hpp"
#include "install_steps.hpp"
#include "server_process.hpp"
#include "server_steps.hpp"

namespace qor::test {

class RecordingHost : public FormHost {
 public:
  MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) override {
    messages.push_back(text);
    buttons_seen.push_back(buttons);
    captions.push_back(caption);
    return MsgResult::OK;
  }
  void DoEvents() override {
    ++yields;
    if (on_yield) on_yield();
  }
  void Unload() override { ++unloads; }

  std::vector<std::string> messages;
  std::vector<MsgButtons> buttons_seen;
  std::vector<std::string> captions;
  int yields = 0;
  int unloads = 0;
  std::function<void()> on_yield;
};

// The real file system, with "exe" versions taken from a table by path.
class VersionTableFileSystem : public FileSystem {
 public:
  VersionTableFileSystem() : real_(make_local_file_system()) {}
  bool FolderExists(const std::string& p) override { return real_->FolderExists(p); }
  bool CreateFolder(const std::string& p) override { return real_->CreateFolder(p); }
  bool FileExists(const std::string& p) override { return real_->FileExists(p); }
  std::string GetFileVersion(const std::string& p) override {
    const auto it = versions.find(local_path(p));
    return it == versions.end() ? std::string() : it->second;
  }
  std::optional<std::chrono::system_clock::time_point> DateLastModified(const std::string& p) override {
    return real_->DateLastModified(p);
  }
  std::map<std::string, std::string> versions;

 private:
  std::unique_ptr<FileSystem> real_;
};

// A window over a temporary program folder, loaded as the program does.
struct InstallFixture {
  TempDir program;
  RecordingHost host;
  VersionTableFileSystem* fs = nullptr;
  std::unique_ptr<QOR_sync_FRM> form;

  InstallFixture() {
    shared_variables() = SharedVariables{};
    FormServices services{&host,
                          [this] {
                            auto made = std::make_unique<VersionTableFileSystem>();
                            fs = made.get();
                            return std::unique_ptr<FileSystem>(std::move(made));
                          },
                          program.path()};
    form = std::make_unique<QOR_sync_FRM>(std::move(services));
    form->Form_Load();
  }
  std::string at(const std::string& relative) const { return program / relative; }

  // Builds List1 and List3 the way the record parse does.
  void build_lists(const std::vector<std::string>& records, int mode) {
    form->List1.Clear();
    form->List3.Clear();
    form->package_mode = static_cast<std::int16_t>(mode);
    for (const auto& r : records) form->List1.AddItem(r);
    form->steps.check_package_due = [this] { check_package_due(*form); };
    parse_package_records(*form);
  }
  std::vector<std::string> due() const { return form->List3.texts(); }
};

// Copies a file from `source` into the local folder. Records every call.
struct CopyingFetch {
  std::string source;
  std::vector<std::string> calls;
  std::vector<std::string> failing;  // names that fail to arrive

  FetchFile fn() {
    return [this](const std::string& name, const std::string& folder) {
      calls.push_back(folder + "|" + name);
      namespace fs = std::filesystem;
      for (const auto& f : failing)
        if (f == name) return false;
      std::error_code ec;
      return fs::copy_file(fs::path(source) / name, fs::path(folder) / name, fs::copy_options::overwrite_existing, ec);
    };
  }
};

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_.c_str(), old_->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace qor::test
