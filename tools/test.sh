#!/usr/bin/env bash
# The whole test suite from a fresh machine: installs, builds, and runs
#   1. every test (unit, integration with real servers, the real window),
#   2. the Windows program and its tests, cross-built with MinGW-w64 and run
#      under Wine in a prefix made for the run (the real window included),
#   3. the same Linux tests built with ASan, UBSan and LSan (less what they
#      cannot add to; see tools/sanitize.sh),
#   4. every fuzz target over its committed corpus and for a short while,
#   5. the static checks.
# `tools/test.sh --quick` runs step 1 only. Each stage prints its time.
# Nothing is skipped on a warm machine: compilers run through ccache when it is
# installed (tools/compiler-cache.sh), and clang-tidy reuses only clean results
# whose inputs are unchanged (tools/static-checks.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QOR_BUILD_DIR:-$root/build}
windows_build=${QOR_WINDOWS_BUILD_DIR:-$root/build-windows}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

started=$SECONDS
stage() {
  echo "== $1 (at $((SECONDS - started)) s)"
}

stage "dependencies"
"$root/tools/install-deps.sh"
stage "build"
"$root/tools/build.sh"

stage "tests"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2) | tee -a "$log"

if [ "${1:-}" != "--quick" ]; then
  stage "Windows build"
  "$root/tools/build-windows.sh"
  stage "Windows tests under Wine"
  (cd "$windows_build" && ctest --output-on-failure -j2) | tee -a "$log"
  stage "tests with sanitizers"
  "$root/tools/sanitize.sh" | tee -a "$log"
  stage "fuzzing"
  "$root/tools/fuzz.sh"
  stage "static checks"
  "$root/tools/static-checks.sh"
fi
stage "done"

# One closing line for every test run above.
awk '/tests passed, [0-9]+ tests failed out of/ { failed += $4; total += $NF }
     END { printf "tests: %d passed, %d failed\n", total - failed, failed }' "$log"
