#!/usr/bin/env bash
# Configures and builds into build/ (or $QOR_BUILD_DIR) with Ninja.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/compiler-cache.sh"
build=${QOR_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja "${compiler_cache[@]}" "$@" >/dev/null
cmake --build "$build"
