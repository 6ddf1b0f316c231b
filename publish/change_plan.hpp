// What publishing a catalogue changes against the one published now, file by
// file: the dry run prints it, and an upload walks it (files to send, to
// leave, to remove afterwards).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "publish/catalogue.hpp"

namespace qor::publish {

enum class Change { Added, Changed, Removed, Unchanged };

struct PlannedFile {
  Change change = Change::Unchanged;
  std::string file;                     // the name on the FTP server after publishing ("fn=")
  std::optional<PackageRecord> before;  // as published now
  std::optional<PackageRecord> after;   // as it will be published (its source is the release file)
  std::vector<std::string> reasons;     // what changed: "ve 1.0.0.0 -> 1.1.0.0", ...
};

struct ChangePlan {
  std::vector<PlannedFile> files;              // the new catalogue's files in its order, then the removed ones
  std::vector<std::string> catalogue_changes;  // captions, transfer settings, new folders, programs
  int count(Change change) const;
  bool changes_anything() const;
};

// Files are matched by name regardless of letter case, as one FTP folder
// holds them.
ChangePlan plan_changes(const Catalogue& published, const Catalogue& next);

const char* change_word(Change change);

}  // namespace qor::publish
