#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, replays every committed
# corpus input through each target, then fuzzes each for a bounded time from
# a scratch copy of its corpus, so the committed corpus never grows. Exits
# non-zero on any crash, hang, leak, out-of-memory or sanitizer finding; the
# input that caused it is kept in $FUZZ_ARTIFACTS.
#
#   FUZZ_SECONDS    fuzzing time per target after the replay (default 15;
#                   the long runs quoted in closing notes use 600 or more)
#   FUZZ_TARGETS    names to run, e.g. "answer_text listing_order" (default: all)
#   FUZZ_BUILD_DIR  build folder (default build-fuzz)
#   FUZZ_ARTIFACTS  where failing inputs go (default $FUZZ_BUILD_DIR/artifacts)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-15}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
artifacts=${FUZZ_ARTIFACTS:-$build/artifacts}

if [ -n "${FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<<"$FUZZ_TARGETS"
else
  targets=()
  for source in "$root"/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp)
    targets+=("$name")
  done
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DQOR_FUZZ=ON \
  -DQOR_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzz}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tools/lsan.supp:print_suppressions=0}

failed=()
summary=()
for name in "${targets[@]}"; do
  binary="$build/fuzz/${name}_fuzz"
  corpus="$scratch/$name"
  mkdir -p "$corpus"
  [ -d "$root/fuzz/corpus/$name" ] && cp "$root/fuzz/corpus/$name"/* "$corpus"/
  log="$scratch/$name.log"
  echo "== $name: replay $(ls "$corpus" | wc -l) inputs, then ${seconds}s"
  status=0
  # -runs=0 replays the corpus once and stops: every committed input must pass.
  "$binary" "$corpus" -runs=0 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/${name}-" >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ] && [ "$seconds" -gt 0 ]; then
    "$binary" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/${name}-" >>"$log" 2>&1 || status=$?
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1 || true)
  line="$name: ${runs:-0} executions after the replay, ${coverage:-no coverage line}"
  if [ "$status" -ne 0 ]; then
    line="$line, FAILED (exit $status)"
    failed+=("$name")
    grep -E 'ERROR|property broken|runtime error|SUMMARY|Test unit written|ALARM|timeout' "$log" | head -20 || true
    cp "$log" "$artifacts/$name.log"
  fi
  echo "$line"
  summary+=("$line")
done

echo "== summary (replay, then ${seconds}s per target)"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "findings in: ${failed[*]} (inputs and logs in $artifacts)"
  exit 1
fi
