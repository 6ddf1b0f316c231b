// The local version check, the download run, and the finish action.
#pragma once

#include <functional>
#include <string>

#include "platform/file_system.hpp"
#include "window/fetch_outcome.hpp"

namespace qor {

class QOR_sync_FRM;
class Shell;
class TransferFailures;

void check_package_due(QOR_sync_FRM& form);

// Fetches one file into a folder, to be put there as `placing` says by the
// download run's placement run (Held), which puts every held file in place
// with one wait for the disk; ftp_get_file in the program, a double in tests.
using FetchFile = std::function<FetchOutcome(const std::string& file_name, const std::string& local_folder,
                                             const Placing& placing, PlacementRun& run)>;
void download_packages(QOR_sync_FRM& form, const FetchFile& fetch);
// The same, with the run's failures told through `failures` (the fetch tells
// its own there too): a box for each of the first few, one message at the
// end for the rest.
void download_packages(QOR_sync_FRM& form, const FetchFile& fetch, TransferFailures& failures);

// Writes the shortcut to the main program at `program_path`.
void create_desktop_shortcut(QOR_sync_FRM& form, Shell& shell, const std::string& program_path);
void finish_action(QOR_sync_FRM& form, Shell& shell);
// Whether the main program file at a path may be started (a client built
// with the vendor's key: it is the signed one); the reason when not.
using ProgramCheck = std::function<Status(const std::string& program_path)>;
// The same; a program the check refuses gets no shortcut, is not started,
// and the user is told `refused_line` (in their language).
void finish_action(QOR_sync_FRM& form, Shell& shell, const ProgramCheck& check, const std::string& refused_line);

}  // namespace qor
