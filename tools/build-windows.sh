#!/usr/bin/env bash
# Cross-builds every Windows library, program and test program with MinGW-w64
# into build-windows/ (or $QOR_WINDOWS_BUILD_DIR) with Ninja. The tests then
# run under Wine: cd build-windows && ctest
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/compiler-cache.sh"
build=${QOR_WINDOWS_BUILD_DIR:-$root/build-windows}
cmake -S "$root" -B "$build" -G Ninja "${compiler_cache[@]}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" "$@" >/dev/null
cmake --build "$build"
