// The test base of the fault matrix: a sandbox, a misbehaving server, the
// client run, and the checks every fault ends with.
#pragma once

#include <gtest/gtest.h>

#include "fault_fixture.hpp"

namespace qor::faults {

using Texts = std::vector<std::string>;
inline const std::string kTransferFailed = "Übertragunsfehler";
inline const std::string kConnectFailed = "Fehler beim Verbindungsaufbau";

class FaultTest : public ::testing::Test {
 protected:
  void start(std::vector<std::string> server_args = {}) {
    server = std::make_unique<FaultServer>(std::move(server_args));
    run = std::make_unique<ClientRun>(sandbox, server->address());
  }
  // Snapshots what the user has, right before the run.
  void click_through(bool finish = false) {
    before = snapshot(sandbox.program);
    home_before = snapshot(sandbox.home);
    run->click_through(finish);
  }
  // The program folder holds only old or whole new files, nothing was
  // written beside it, and no handler kept the window longer than `limit`.
  void expect_sound_end(std::chrono::seconds limit = std::chrono::seconds(10)) {
    EXPECT_EQ(damage(before, snapshot(sandbox.program)), Texts{});
    EXPECT_EQ(outside_writes(sandbox, home_before), Texts{});
    EXPECT_LT(run->longest_handler(), limit);
  }
  std::string file(const std::string& relative) const { return test::read_file((sandbox.program / relative).string()); }
  bool exists(const std::string& relative) const { return fs::exists(sandbox.program / relative); }
  static const std::string& published(const std::string& name) { return published_files().at(name); }
  std::vector<std::string> requests() {
    std::vector<std::string> out;
    for (const auto& line : server->log())
      if (line.starts_with("REQUEST ")) out.push_back(line);
    return out;
  }

  Sandbox sandbox;
  std::unique_ptr<FaultServer> server;
  std::unique_ptr<ClientRun> run;
  Tree before;
  Tree home_before;
};

// Makes the FTP connection that connect_ftp opened give up a stall after
// two seconds instead of thirty, so a stalled transfer is quick to test.
void shorten_transfer_limits(ClientRun& run);

}  // namespace qor::faults
