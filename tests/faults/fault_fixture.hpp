// A whole client run against an update server that misbehaves on purpose:
// the window model with the program's own step wiring, a program folder
// with the user's files inside a sandbox, and checks of what the run left.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "QOR_sync_FRM.hpp"
#include "server_process.hpp"

namespace qor::faults {

namespace fs = std::filesystem;

struct Message {
  std::string text;
  MsgButtons buttons;
};

// Records every message box; answers from a script, then OK/Cancel, so a
// repeated failure can never keep a test asking forever.
class ScriptedHost : public FormHost {
 public:
  MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) override;
  void DoEvents() override;
  void Unload() override { ++unloads; }

  std::vector<Message> messages;
  std::deque<MsgResult> answers;
  std::function<void()> on_yield;
  int unloads = 0;
};

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv();

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// The package files the server publishes, by name.
const std::map<std::string, std::string>& published_files();

// The update server (HTTP and FTP) on a published folder holding the
// package files and a catalogue that lists them; extra_args add faults.
class FaultServer {
 public:
  explicit FaultServer(std::vector<std::string> extra_args = {});
  std::string address() const { return process_->address("http"); }
  std::string published(const std::string& name) const { return root_ / name; }
  std::vector<std::string> log() { return process_->read_log(); }
  void stop() { process_->stop(); }

 private:
  test::TempDir root_;
  std::unique_ptr<test::ServerProcess> process_;
};

struct FileState {
  bool folder = false;
  std::string content;
  mode_t mode = 0;
  timespec mtime{};
};
// Every entry below a root by relative path, links not followed.
using Tree = std::map<std::string, FileState>;
Tree snapshot(const fs::path& root);

// A sandbox holding the program folder with the user's files and a home
// folder with a desktop; the client is only ever pointed at these.
class Sandbox {
  test::TempDir dir_;  // first: everything below lies inside it

 public:
  Sandbox();
  fs::path program;
  fs::path home;
  // Puts the user's files into the program folder (again, after a mount).
  void fill_program_folder() const;
  // Top-level entries of the sandbox other than the program and home folders.
  std::vector<std::string> strays() const;
  ScopedEnv home_env{"HOME", (fs::path(dir_.path()) / "home").string()};
  ScopedEnv config_env{"XDG_CONFIG_HOME", (fs::path(dir_.path()) / "home" / ".config").string()};
  ScopedEnv locale_env{"LC_ALL", "C"};
};

// The window over the sandbox's program folder, steps wired as the program
// wires them, pointed at the server.
class ClientRun {
 public:
  ClientRun(Sandbox& sandbox, const std::string& update_server);
  ~ClientRun();

  // Clicks through as a user: a flag, then the button of each panel that
  // waits (each once), running the timers in between; the finish panel's
  // button only when `finish`. Records how long each handler took.
  void click_through(bool finish = false);
  std::chrono::milliseconds longest_handler() const { return longest_; }
  std::vector<std::string> message_texts() const;

  ScriptedHost host;
  std::unique_ptr<QOR_sync_FRM> form;

 private:
  template <class F>
  void timed(F&& handler);
  std::chrono::milliseconds longest_{0};
};

// What the run must leave: every file the user had exactly as it was or
// whole in its published version, new files only whole published ones, no
// temporary file, nothing beside the program folder and the desktop entry.
// Returns the problems found, one line each.
std::vector<std::string> damage(const Tree& before, const Tree& after);
std::vector<std::string> outside_writes(const Sandbox& sandbox, const Tree& home_before);

// The user's files the run may replace, and the one it never may.
inline const std::set<std::string> kReplaceable = {"big.exe", "Bilder/logo.jpg"};
inline const std::string kUserDatabase = "qor_buch.db3";

// The query failure message names the query; true for the one of `query`.
bool is_query_failure(const Message& m, const std::string& query);

}  // namespace qor::faults
