// One entry of a remote folder listing, with the fields of the platform's
// find-data record. Only the attributes and the name carry meaning here.
#pragma once

#include <cstdint>
#include <string>

// <windows.h> defines macros of these names, which would rewrite the
// declarations below: on Windows this header (and every header that includes
// it) comes before any system header of the platform.
#if defined(WIN32_FIND_DATA) || defined(FILE_ATTRIBUTE_DIRECTORY) || defined(FILE_ATTRIBUTE_NORMAL)
#error "include the project's headers before <windows.h>"
#endif

namespace qor {

struct FILETIME {
  std::uint32_t dwLowDateTime = 0;
  std::uint32_t dwHighDateTime = 0;
};

inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 16;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 128;

// NOLINTNEXTLINE(readability-identifier-naming): the platform's record name
struct WIN32_FIND_DATA {
  std::uint32_t dwFileAttributes = 0;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  std::uint32_t nFileSizeHigh = 0;
  std::uint32_t nFileSizeLow = 0;
  std::uint32_t dwReserved0 = 0;
  std::uint32_t dwReserved1 = 0;
  // The entry's name, trimmed (the fill spaces of the fixed-width field are
  // implied, not stored). Names are UTF-8.
  std::string cFileName;
  std::string cAlternateFileName;
};

// The record under a name that no platform header redefines, for code that
// also sees <windows.h> (where WIN32_FIND_DATA is a macro).
using FindData = WIN32_FIND_DATA;

}  // namespace qor
