// What a program holds through operator new: the bytes now, and the most it
// held since the last reset. Linking qor_allocation_meter replaces the
// program's global operator new and delete, so only programs that measure
// link it.
#pragma once

#include <cstddef>

namespace qor::test {

struct AllocationMeter {
  static std::size_t live();
  static std::size_t peak();
  // The peak starts again from what is held now.
  static void reset_peak();
};

}  // namespace qor::test
