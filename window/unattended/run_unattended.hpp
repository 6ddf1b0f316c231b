// The window's run without the window: the same step procedures in the
// same order (check, captions, settings, FTP, folders, install, update,
// finish), each panel's action taken by the run itself, one line per step
// and per file. With `check` it stops where the first write would be:
// it tells what is due and changes nothing.
#pragma once

#include <functional>
#include <string>

#include "window/QOR_sync_FRM.hpp"
#include "window/unattended/run_log.hpp"
#include "window/unattended/unattended_host.hpp"

namespace qor {

struct UnattendedOptions {
  std::string language = "de";  // the flag the run clicks: "de" or "en"
  bool check = false;
  std::string update_server;  // as the lines name it
};

// Drives a form that was wired and whose host is `host` from its load to
// its end; what went wrong is in host.facts().
void drive_unattended(QOR_sync_FRM& form, UnattendedHost& host, const UnattendedOptions& options);

// Makes the form for `program_folder` on an unattended host, lets `wire`
// put the steps in, drives it and returns the exit code.
int run_unattended(const std::string& program_folder, const UnattendedOptions& options, RunLog& log,
                   const MakeFileSystem& make_file_system, const std::function<void(QOR_sync_FRM&)>& wire);

}  // namespace qor
