// The window model against a real update server: a published folder with a
// catalogue, the server process, a recording host and a program folder.
#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "QOR_sync_FRM.hpp"
#include "server_process.hpp"

namespace qor::test {

struct Message {
  std::string text;
  MsgButtons buttons;
  std::string caption;
};

// Records every message box and answers from a script (OK/Cancel when the
// script has run out, so a forgotten message can never loop forever).
class RecordingHost : public FormHost {
 public:
  MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) override;
  void DoEvents() override {}
  void Unload() override { ++unloads; }

  std::vector<Message> messages;
  std::deque<MsgResult> answers;
  int unloads = 0;
};

// The update server on a published folder of its own, started on free ports.
class UpdateServer {
 public:
  explicit UpdateServer(const std::string& catalogue_json, std::vector<std::string> extra_args = {});
  const std::string& root() const { return root_.path(); }
  std::string address() const { return process_->address("http"); }
  int ftp_port() const { return process_->port("ftp"); }
  // The HTTP request lines received since the last call ("GET /... HTTP/1.1").
  std::vector<std::string> requests();
  void stop() { process_->stop(); }

 private:
  TempDir root_;
  std::unique_ptr<ServerProcess> process_;
};

// A loaded window over a temporary program folder, with fresh shared
// variables. The program folder lies inside a sandbox of its own, so that a
// name escaping it still lands in a folder the test removes.
struct Window {
  Window();
  TempDir sandbox;
  std::filesystem::path program;
  RecordingHost host;
  std::unique_ptr<QOR_sync_FRM> form;
};

// Fills form.steps with the real server steps and check_internet; connect_ftp
// and check_package_due are left to the test.
void use_server_steps(QOR_sync_FRM& form, const std::string& update_server);

// The due rule of the install mode, enough for the lists: a file is due when
// it is missing in its folder below the program folder.
void due_when_missing(QOR_sync_FRM& form);

// Runs the enabled timers, as the toolkit would, until none is enabled.
void run_timers(QOR_sync_FRM& form);

inline const std::string kScript = "/php_scripts/qor_sw_setup_manager.php";

}  // namespace qor::test
