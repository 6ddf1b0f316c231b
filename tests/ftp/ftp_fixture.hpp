// The FTP steps against tools/ftp_server.py serving a temporary folder on
// 127.0.0.1, with a recording host and the local file system.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.hpp"
#include "tests/support/files.hpp"
#include "tests/support/recording_host.hpp"
#include "tests/support/server_process.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/fetch_outcome.hpp"

namespace qor::test {

class FtpTest : public ::testing::Test {
 protected:
  FtpTest();
  ~FtpTest() override;

  // Starts the server on `root` with fault options; the transfer settings
  // then point at it with the right account.
  void start_server(const std::vector<std::string>& options = {});
  std::string local(const std::string& name) const { return target / name; }
  // ftp_get_file into the target folder, or another.
  FetchOutcome fetch(const std::string& name) { return fetch(name, target.path()); }
  FetchOutcome fetch(const std::string& name, const std::string& folder, Placement placement = Placement::Replace);

  TempDir root;    // what the server serves
  TempDir target;  // where downloads go
  RecordingHost host;
  ListBox list{"List4"};
  std::unique_ptr<FileSystem> files;
  std::unique_ptr<ServerProcess> server;
};

inline const std::string kTransferFailed =
    "\xC3\x9C"
    "bertragunsfehler";
inline const std::string kConnectFailed = "Fehler beim Verbindungsaufbau";

}  // namespace qor::test
