// A GUI program has no standard error where it was started: from a shortcut
// or the file manager there is none to have, and from a console Windows
// does not hand the console on. So that a vendor who starts the program
// from a console reads its failure reasons there, the program takes that
// console when its standard error leads nowhere.
#pragma once

namespace qor::win32 {

// Attaches to the console of the process that started this one, when
// standard error leads nowhere and there is such a console, and opens
// standard output and standard error on it. Standard streams that lead
// somewhere (a file, a pipe) stay as they are. True when standard error
// leads somewhere now.
bool use_parent_console();

}  // namespace qor::win32
