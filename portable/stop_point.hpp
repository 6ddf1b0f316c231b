// Points where a test can have the program stop dead, as a crash or a cut
// of power would stop it, to show that the next start copes. The
// environment variable QOR_STOP_AT names one point, optionally followed by
// ":N" for its N-th occurrence (the first by default), which the caller
// counts; there the program ends at once with kStoppedAtPoint, flushing and
// closing nothing.
// Without the variable a point costs one look at the environment.
#pragma once

#include <string_view>

namespace qor {

inline constexpr int kStoppedAtPoint = 86;

// The points of a placement run, in the order a run reaches them.
inline constexpr std::string_view kStopAfterFlush = "placement-flushed";         // bytes durable, no journal yet
inline constexpr std::string_view kStopAfterJournal = "placement-journal";       // journal written, nothing renamed
inline constexpr std::string_view kStopAfterRename = "placement-renamed";        // after the N-th rename
inline constexpr std::string_view kStopBeforeJournalGoes = "placement-settled";  // all durable, journal still there

void stop_point(std::string_view name, long occurrence = 1);

}  // namespace qor
