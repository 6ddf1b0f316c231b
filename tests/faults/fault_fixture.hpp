// A whole client run against an update server that misbehaves on purpose:
// the window model with the program's own step wiring, a program folder
// with the user's files inside a sandbox, and checks of what the run left.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/wire_steps.hpp"
#include "tests/support/files.hpp"
#include "tests/support/recording_host.hpp"
#include "tests/support/scoped_env.hpp"
#include "tests/support/server_process.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor::faults {

namespace fs = std::filesystem;
using test::Message;

// The package files the server publishes, by name.
const std::map<std::string, std::string>& published_files();

// The update server (HTTP and FTP) on a published folder holding the
// package files and a catalogue that lists them; extra_args add faults.
std::unique_ptr<test::UpdateServerProcess> start_fault_server(std::vector<std::string> extra_args = {});

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
  test::ScopedEnv home_env{"HOME", (fs::path(dir_.path()) / "home").string()};
  test::ScopedEnv config_env{"XDG_CONFIG_HOME", (fs::path(dir_.path()) / "home" / ".config").string()};
  test::ScopedEnv locale_env{"LC_ALL", "C"};
};

// The window over the sandbox's program folder, steps wired as the program
// wires them, pointed at the server, with the program's limits unless a test
// shortens them.
class ClientRun {
 public:
  ClientRun(Sandbox& sandbox, const std::string& update_server, const NetworkLimits& limits = {});
  ~ClientRun();

  // Clicks through as a user: a flag, then the button of each panel that
  // waits (each once), running the timers in between; the finish panel's
  // button only when `finish`. Records how long each handler took.
  void click_through(bool finish = false);
  std::chrono::milliseconds longest_handler() const { return longest_; }
  std::vector<std::string> message_texts() const;

  test::RecordingHost host;
  std::unique_ptr<QOR_sync_FRM> form;
  // Runs right before the user clicks a panel's button (its Label3 index):
  // what happens on the disk while the panel waits.
  std::function<void(int button)> before_click;

 private:
  template <class F>
  void timed(F&& handler);
  std::chrono::milliseconds longest_{0};
};

// The user's files the run may replace, and the one it never may.
inline const std::set<std::string> kReplaceable = {"big.exe", "Bilder/logo.jpg"};
inline const std::string kUserDatabase = "qor_buch.db3";
inline const std::string kMainProgram = "QOR_main.exe";

// What the run must leave: every file the user had exactly as it was or
// whole in its published version (only those in `replaceable`), new files
// only whole published ones, no temporary file, nothing beside the program
// folder and the desktop entry. Returns the problems found, one line each.
std::vector<std::string> damage(const Tree& before, const Tree& after,
                                const std::set<std::string>& replaceable = kReplaceable);
std::vector<std::string> outside_writes(const Sandbox& sandbox, const Tree& home_before);

// The query failure message names the query; true for the one of `query`.
bool is_query_failure(const Message& m, const std::string& query);

}  // namespace qor::faults
