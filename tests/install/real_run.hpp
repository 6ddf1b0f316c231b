// Runs of the client with the program's own steps over a program folder
// that outlives them, against the bundled update server (HTTP and FTP)
// answering the install and update queries byte for byte from files, as a
// real server writes them.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "portable/release/crypto_values.hpp"
#include "tests/support/files.hpp"
#include "tests/support/recording_host.hpp"
#include "tests/support/server_process.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor::test {

// The update server publishing `files` over FTP (account "qor", password
// "pw"); the install and update answers are the given bytes, the rest comes
// from `catalogue` (the server fills in the transfer settings' "se").
class PublishedAnswers {
 public:
  PublishedAnswers(const std::string& install_answer, const std::string& update_answer,
                   const std::map<std::string, std::string>& files,
                   const std::string& catalogue = R"({"settings": {"fo": "/", "us": "qor", "pa": "pw"}})");
  std::string address() const { return server_->address(); }
  // How many RETR lines the FTP side logged, waiting briefly for `expected`.
  int retrievals(int expected) { return server_->process().count_log("RETR", expected); }

 private:
  TempDir answers_;
  std::unique_ptr<UpdateServerProcess> server_;
};

// One run of the client: fresh shared variables, the window loaded over the
// program folder, the steps wired as the program wires them.
class ClientRun {
 public:
  // With `release_key`, the client of a vendor who signs releases.
  ClientRun(const std::string& program_folder, const std::string& update_server,
            const std::optional<crypto::PublicKey>& release_key = std::nullopt);
  ClientRun(const ClientRun&) = delete;
  ClientRun& operator=(const ClientRun&) = delete;
  ~ClientRun();

  // The transfer settings and the FTP login.
  void log_in();
  // Builds the list and returns the file names it found due (List3).
  std::vector<std::string> list_install();
  std::vector<std::string> list_update();
  // The download run over List3, as the panel's button starts it.
  void download();
  // The finish panel's action; what it started is in `started`.
  void finish();

  // Programs the finish action started, through a shell that writes no
  // shortcut and starts nothing.
  std::vector<std::string> started;

  RecordingHost host;
  std::unique_ptr<QOR_sync_FRM> form;
};

}  // namespace qor::test
