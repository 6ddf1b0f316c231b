// The journal of a placement run: which temporary file goes to which place,
// written before the first rename and removed after the last, so that the
// next start can finish a run that stopped in between. The same text on
// every platform: a first line naming the form, then a line per file,
//   R|A <tab> folder below the program folder ("/" between names, empty for
//   the folder itself) <tab> temporary name <tab> target name
// with R for a file that replaces, A for one meant only for an empty place.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "portable/result/result.hpp"

namespace qor {

// The journal's name in the program folder.
inline constexpr const char* kPlacementJournalName = ".qor-placement-journal";

struct JournalEntry {
  bool only_if_absent = false;  // else it replaces what is there
  std::string folder;           // below the program folder, "/" between names
  std::string temporary;        // a name as new_temporary_name makes them
  std::string target;           // the entry's name in that folder
};

// The journal's text. An entry whose names could not be read back (a tab,
// a line break, a separator in a name) is refused with the reason.
Result<std::string> write_placement_journal(const std::vector<JournalEntry>& entries);

// The entries of a journal's text. A journal that is not whole (cut off by
// a stop while it was written, which the write itself guards against, or
// changed by hand) is refused as a whole: no entry of it is trusted. Each
// folder is checked to name no parent ("..") and no absolute path.
Result<std::vector<JournalEntry>> read_placement_journal(std::string_view text);

}  // namespace qor
