// The test base of the fault matrix: a sandbox, a misbehaving server, the
// client run, and the checks every fault ends with.
#pragma once

#include <gtest/gtest.h>

#include "tests/faults/fault_fixture.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor::faults {

using Texts = std::vector<std::string>;
inline const std::string kTransferFailed = "Übertragunsfehler";
inline const std::string kConnectFailed = "Fehler beim Verbindungsaufbau";

class FaultTest : public ::testing::Test {
 protected:
  void start(std::vector<std::string> server_args = {}, const NetworkLimits& limits = {}) {
    server = start_fault_server(std::move(server_args));
    run = std::make_unique<ClientRun>(sandbox, server->address(), limits);
  }
  // Snapshots what the user has, right before the run; keeps the failure
  // reports the run wrote to standard error.
  void click_through(bool finish = false) {
    before = snapshot(sandbox.program);
    home_before = snapshot(sandbox.home);
    const test::StderrCapture errors;
    run->click_through(finish);
    reports = errors.failure_lines();
  }
  // The program folder holds only old or whole new files, nothing was
  // written beside it, and no handler kept the window longer than `limit`.
  void expect_sound_end(std::chrono::seconds limit = std::chrono::seconds(10)) {
    EXPECT_EQ(damage(before, snapshot(sandbox.program), replaceable), Texts{});
    EXPECT_EQ(outside_writes(sandbox, home_before), Texts{});
    EXPECT_LT(run->longest_handler(), limit);
  }
  std::string file(const std::string& relative) const { return test::read_file((sandbox.program / relative).string()); }
  bool exists(const std::string& relative) const { return fs::exists(sandbox.program / relative); }
  static const std::string& published(const std::string& name) { return published_files().at(name); }
  // Every request line the server received.
  std::vector<std::string> requests() {
    std::vector<std::string> out;
    for (const auto& line : server->process().log())
      if (line.starts_with("REQUEST ")) out.push_back(line);
    return out;
  }

  Sandbox sandbox;
  std::unique_ptr<test::UpdateServerProcess> server;
  std::unique_ptr<ClientRun> run;
  Tree before;
  Tree home_before;
  std::set<std::string> replaceable = kReplaceable;
  std::vector<std::string> reports;
};

// FTP limits short enough that a server that stalls is quickly given up.
inline NetworkLimits quick_ftp_limits() {
  NetworkLimits limits;
  limits.ftp.connect_timeout = std::chrono::seconds(2);
  limits.ftp.stall_time = std::chrono::seconds(2);
  return limits;
}

}  // namespace qor::faults
