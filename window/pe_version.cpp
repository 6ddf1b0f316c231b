#include "pe_version.hpp"

namespace qor {

std::string read_pe_file_version(const std::string& /*path*/) {
  return {};  // TODO(pe): parse the version resource
}

}  // namespace qor
