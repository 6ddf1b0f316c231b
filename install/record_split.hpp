// Splitting a record line into its fields at every "|". Stands in until the
// server's answer grammar offers the same split.
#pragma once

#include <string>
#include <vector>

namespace qor {

std::vector<std::string> split_fields(const std::string& line);

}  // namespace qor
