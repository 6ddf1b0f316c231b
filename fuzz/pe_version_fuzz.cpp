// Feeds arbitrary bytes to the PE version reader: it must return the empty
// text or four numbers, and never read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "pe_version.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string version = qor::read_pe_file_version_from_bytes(std::span(data, size));
  int dots = 0;
  for (char c : version) {
    if (c == '.')
      ++dots;
    else if (c < '0' || c > '9')
      std::abort();
  }
  if (!version.empty() && dots != 3) std::abort();
  return 0;
}
