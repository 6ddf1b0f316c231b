// The command line of qor_publish: scan a release, check it, write its
// catalogue, or show what publishing it would change.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qor::publish {

// Exit codes, as the usage text tells them.
enum ExitCode : int {
  kPublished = 0,     // catalogue written (or dry run done); warnings may have been told
  kChecksFailed = 1,  // the release or its settings have errors; nothing written
  kUsage = 2,         // the command line is wrong
  kInputOutput = 3,   // a file could not be read or written
};

std::string publish_usage();

// `arguments` without the program's name, in UTF-8. Findings and failures
// go to `err`, the dry run's plan to `out`.
int run_publish(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace qor::publish
