#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer into build-sanitize/ and runs the test suite there. Any
# finding fails the run. Left out: what the sanitizers cannot add to, the
# thirty-second stall (label slow: it only waits) and the real-window
# scenarios (label e2e: their client is the program built without
# sanitizers, and they already ran once).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/compiler-cache.sh"
build=${QOR_SANITIZE_BUILD_DIR:-$root/build-sanitize}
cmake -S "$root" -B "$build" -G Ninja "${compiler_cache[@]}" -DQOR_SANITIZE=ON -DQOR_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 -LE 'slow|e2e'
