// A transfer layer without a server, for the listing target: the find
// operations hand out the entries set here, as a server listing would.
#pragma once

#include <vector>

#include "platform/find_data.hpp"

namespace qor::fuzz {

void set_fake_listing(std::vector<WIN32_FIND_DATA> entries);

}  // namespace qor::fuzz
