// How fetching one file ended, for the run that goes on after it: only a file
// that was placed is stamped or made startable.
#pragma once

namespace qor {

enum class FetchOutcome {
  Placed,      // the file arrived whole and is at its place
  Held,        // the file arrived whole and waits for its run's placement
  PlaceTaken,  // an entry appeared at a place meant to be empty; it is kept and the download dropped (no failure)
  Abandoned,   // the window was closed meanwhile; nothing of the transfer stays and nobody is told
  Failed,      // told on standard error and to the user; the old file stays as it was
};

}  // namespace qor
