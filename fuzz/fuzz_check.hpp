// A broken property ends the run: libFuzzer reports the abort as a crash and
// keeps the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace qor::fuzz {

inline void check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}

}  // namespace qor::fuzz
