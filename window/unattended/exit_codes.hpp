// The exit codes of an unattended run, and the one place that decides
// between them from what the run recorded. Administrators' scripts branch
// on these numbers: they never change meaning.
#pragma once

namespace qor {

enum ExitCode : int {
  kExitDone = 0,               // nothing due, or everything done
  kExitBadCommandLine = 2,     // the command line was refused (or the log file cannot be written)
  kExitServerUnreachable = 3,  // the update server did not answer, or failed a query
  kExitFtpFailed = 4,          // the FTP login or listing failed
  kExitFilesFailed = 5,        // some files or folders failed; the rest was done
  kExitReleaseRefused = 6,     // a signed release was refused
  kExitAlreadyRunning = 7,     // another client works in this program folder
  kExitDue = 10,               // --check: something is due
};

// What a run recorded about how it went.
struct RunFacts {
  bool server_unreachable = false;  // the check failed, or a query failed (the run stopped there)
  bool ftp_failed = false;          // "Fehler beim Verbindungsaufbau"
  bool release_refused = false;     // the release's signature did not hold
  int files_failed = 0;             // files not fetched, folders not made
  bool something_due = false;       // --check found folders, installs or updates due
};

// The cause that ends the run first in the order of the steps outranks
// what follows from it: without the server nothing else is known, without
// FTP every file fails, a refused release fetches nothing.
int exit_code(const RunFacts& facts);

}  // namespace qor
