// The update server's answers as a client built with the vendor's key takes
// them: the signed release says which folders, records and main program
// there are, and wins where an answer differs.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qor {

enum class ServerAnswer { NewFolders, Install, Update, MainProgram };

// The records to use in place of `answered` (the main program: one or none).
using VouchAnswer = std::function<std::vector<std::string>(ServerAnswer, std::vector<std::string> answered)>;

}  // namespace qor
