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
#   FUZZ_JOBS       targets fuzzed side by side (default: the number of cores)
#   FUZZ_BUILD_DIR  build folder (default build-fuzz)
#   FUZZ_ARTIFACTS  where failing inputs go (default $FUZZ_BUILD_DIR/artifacts)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/compiler-cache.sh"
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

cmake -S "$root" -B "$build" -G Ninja "${compiler_cache[@]}" -DCMAKE_CXX_COMPILER=clang++ -DQOR_FUZZ=ON \
  -DQOR_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzz}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tools/lsan.supp:print_suppressions=0}

# One target: replay its corpus, then fuzz it for $seconds. Its log and a
# one-line result go to the scratch folder; the result names a failure.
fuzz_one() {
  local name=$1 binary="$build/fuzz/${1}_fuzz" corpus="$scratch/$1" log="$scratch/$1.log" status=0
  mkdir -p "$corpus"
  [ -d "$root/fuzz/corpus/$name" ] && cp "$root/fuzz/corpus/$name"/* "$corpus"/
  echo "== $name: replay $(ls "$corpus" | wc -l) inputs, then ${seconds}s"
  # -runs=0 replays the corpus once and stops: every committed input must pass.
  "$binary" "$corpus" -runs=0 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/${name}-" >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ] && [ "$seconds" -gt 0 ]; then
    "$binary" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/${name}-" >>"$log" 2>&1 || status=$?
  fi
  local runs coverage line
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1 || true)
  line="$name: ${runs:-0} executions after the replay, ${coverage:-no coverage line}"
  if [ "$status" -ne 0 ]; then
    line="$line, FAILED (exit $status)"
    cp "$log" "$artifacts/$name.log"
  fi
  echo "$line" >"$scratch/$name.result"
}

# Each target is one process on one core for its whole time, so $jobs
# targets run side by side (default: one per core), each for the full time.
jobs=${FUZZ_JOBS:-$(nproc)}
running=0
for name in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  fuzz_one "$name" &
  running=$((running + 1))
done
wait || true

failed=()
summary=()
for name in "${targets[@]}"; do
  line=$(cat "$scratch/$name.result" 2>/dev/null || echo "$name: no result, FAILED")
  echo "$line"
  summary+=("$line")
  if [[ "$line" == *FAILED* ]]; then
    failed+=("$name")
    grep -E 'ERROR|property broken|runtime error|SUMMARY|Test unit written|ALARM|timeout' "$scratch/$name.log" | head -20 || true
  fi
done

echo "== summary (replay, then ${seconds}s per target)"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "findings in: ${failed[*]} (inputs and logs in $artifacts)"
  exit 1
fi
