// The window model against the real update server of tools/: a loaded
// window over a temporary program folder and the real server steps.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/files.hpp"
#include "tests/support/recording_host.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor::test {

// A loaded window over a temporary program folder, with fresh shared
// variables. The program folder lies inside a sandbox of its own, so that a
// name escaping it still lands in a folder the test removes.
struct Window {
  Window();
  ~Window();
  TempDir sandbox;
  std::filesystem::path program;
  RecordingHost host;
  std::unique_ptr<QOR_sync_FRM> form;
};

// Fills form.steps with the real server steps and the internet check;
// connect_ftp and check_package_due are left to the test.
void use_server_steps(QOR_sync_FRM& form, const std::string& update_server);

// A double of the version check in the install mode: a file is due when it
// is missing in its folder below the program folder.
void due_when_missing(QOR_sync_FRM& form);

}  // namespace qor::test
