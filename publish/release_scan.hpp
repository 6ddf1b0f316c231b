// What lies in a release folder: its folders and regular files, every name
// checked, in a fixed order (each folder before what it holds, names sorted
// bytewise), so that two scans of one release give the same catalogue.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "publish/findings.hpp"

namespace qor::publish {

struct ReleaseFile {
  std::vector<std::string> folders;  // the folders from the release folder down, empty at its top
  std::string name;
  std::string relative() const;  // "Daten/SQLite3/qor_base.db3"
};

struct Release {
  std::string root;
  std::vector<std::string> folders;  // relative, "/" between the parts, each after its parent
  std::vector<ReleaseFile> files;
};

// Unreadable folders, links and other entries that are no regular file or
// folder, and refused names are errors of `findings`; what can be read is
// still scanned, so one run names every fault.
Release scan_release(const std::string& root, Findings& findings);

}  // namespace qor::publish
