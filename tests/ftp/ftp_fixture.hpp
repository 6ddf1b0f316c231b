// A window with a recording host, wired to a tools/ftp_server.py process
// that serves a temporary folder on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

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

class RecordingHost : public FormHost {
 public:
  MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) override {
    messages.push_back({text, buttons, caption});
    return MsgResult::OK;
  }
  void DoEvents() override {}
  void Unload() override {}
  std::vector<std::string> texts() const;
  std::vector<Message> messages;
};

class FtpTest : public ::testing::Test {
 protected:
  FtpTest();
  ~FtpTest() override;

  // Starts the server on root with extra fault options; the settings then
  // point at it with the right account.
  void start_server(const std::vector<std::string>& options = {});
  // Server log lines starting with prefix, after the server had a moment to
  // write them.
  int count_log(const std::string& prefix);
  std::string local(const std::string& name) const { return target / name; }
  // Files in the target folder, names only, sorted.
  std::vector<std::string> target_files() const;

  TempDir root;    // what the server serves
  TempDir target;  // where downloads go
  RecordingHost host;
  QOR_sync_FRM form;
  std::unique_ptr<ServerProcess> server;
  std::vector<std::string> log;
};

}  // namespace qor::test
