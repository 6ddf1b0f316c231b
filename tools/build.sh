#!/usr/bin/env bash
# Configures and builds into build/ (or $QOR_BUILD_DIR) with Ninja.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QOR_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build"
