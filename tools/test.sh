#!/usr/bin/env bash
# The whole test suite from a fresh machine: installs, builds, and runs
#   1. every test (unit, integration with real servers, the real window),
#   2. the same tests built with ASan, UBSan and LSan,
#   3. every fuzz target for a bounded time,
#   4. the static checks.
# `tools/test.sh --quick` runs step 1 only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QOR_BUILD_DIR:-$root/build}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

"$root/tools/install-deps.sh"
"$root/tools/build.sh"

echo "== tests"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2) | tee -a "$log"

if [ "${1:-}" != "--quick" ]; then
  echo "== tests with sanitizers"
  "$root/tools/sanitize.sh" | tee -a "$log"
  echo "== fuzzing"
  "$root/tools/fuzz.sh"
  echo "== static checks"
  "$root/tools/static-checks.sh"
fi

# One closing line for every test run above.
awk '/tests passed, [0-9]+ tests failed out of/ { failed += $4; total += $NF }
     END { printf "tests: %d passed, %d failed\n", total - failed, failed }' "$log"
