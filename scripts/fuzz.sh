#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# every fuzz target of tests/fuzz for FUZZ_RUNS executions or FUZZ_SECONDS seconds, whichever
# comes first. Each target starts from a work copy of its seed corpus in build/fuzz/corpus/
# (kept between runs, so later runs start where earlier ones stopped; FUZZ_FRESH=1 starts over),
# and writes what it finds to build/fuzz/findings/<target>/. Prints executions, seconds,
# executions per second and crashes per target, and exits non-zero when any target crashed.
# A target stops at its first crash; FUZZ_KEEP_GOING=1 runs it in libFuzzer's fork mode instead,
# which goes on past crashes (for a target whose known crash is not fixed yet).
#
#   FUZZ_TARGETS="import_csv options" FUZZ_SECONDS=30 bash scripts/fuzz.sh
set -euo pipefail

cd "$(dirname "$0")/.."

TARGETS=(${FUZZ_TARGETS:-import_geojson import_csv import_topojson options property_set_file layer_file project_file graphics_file})
RUNS=${FUZZ_RUNS:-1000000}
MAX_SECONDS=${FUZZ_SECONDS:-120}
RSS_LIMIT_MB=${FUZZ_RSS_LIMIT_MB:-2048}  # ASan's shadow included; GDAL reads files whole
TIMEOUT=${FUZZ_TIMEOUT:-10}              # seconds for one input before it counts as a hang
BUILD=build/fuzz
MODE=()
if [ "${FUZZ_KEEP_GOING:-0}" = 1 ]; then
  MODE=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
fi

cmake --preset fuzz
cmake --build --preset fuzz -j "${JOBS:-$(nproc)}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-}:print_stacktrace=1:halt_on_error=1"

report=()
failed=0
for target in "${TARGETS[@]}"; do
  program="$BUILD/tests/fuzz/fuzz_$target"
  work="$BUILD/corpus/$target"
  findings="$BUILD/findings/$target"
  log="$BUILD/findings/$target.log"
  if [ "${FUZZ_FRESH:-0}" = 1 ]; then
    rm -rf "$work"
  fi
  rm -rf "$findings"
  mkdir -p "$work" "$findings"
  cp tests/fuzz/corpus/"$target"/* "$work"/
  dict=()
  if [ -f "tests/fuzz/$target.dict" ]; then
    dict=(-dict="tests/fuzz/$target.dict")
  fi

  echo "fuzz: $target (at most $RUNS runs or $MAX_SECONDS s; log $log)"
  start=$(date +%s.%N)
  set +e
  "$program" -runs="$RUNS" -max_total_time="$MAX_SECONDS" -rss_limit_mb="$RSS_LIMIT_MB" \
    -timeout="$TIMEOUT" -print_final_stats=1 -artifact_prefix="$findings/" "${MODE[@]}" "${dict[@]}" \
    "$work" >"$log" 2>&1
  status=$?
  set -e
  end=$(date +%s.%N)

  executions=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n 1)
  if [ -z "$executions" ]; then
    # Without final statistics (fork mode, or a crash that ended the process): the last
    # progress line.
    executions=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$log" | tail -n 1)
  fi
  executions=${executions:-0}
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
  rate=$(awk -v n="$executions" -v s="$seconds" 'BEGIN { print (s > 0 ? n / s : 0) }')
  crashes=$(find "$findings" -maxdepth 1 -type f \
    \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
  if [ -n "$crashes" ]; then
    failed=1
    found="$(echo "$crashes" | wc -l): $(echo "$crashes" | tr '\n' ' ')"
    grep -E -A40 '^==[0-9]+==ERROR|runtime error|^fuzz: ' "$log" | head -n 60 || true
  elif [ "$status" -ne 0 ]; then
    failed=1
    found="none, but the run failed with status $status (see $log)"
    tail -n 20 "$log"
  else
    found=0
  fi
  report+=("$(printf '%-16s %10s %8.1f %10.0f   %s' "$target" "$executions" "$seconds" "$rate" "$found")")
done

echo
printf '%-16s %10s %8s %10s   %s\n' target executions seconds "exec/s" crashes
printf '%s\n' "${report[@]}"
if [ "$failed" -ne 0 ]; then
  echo "fuzz: crashes found; reproduce one with $BUILD/tests/fuzz/fuzz_<target> <file>," \
    "and save it in tests/fuzz/regressions/<target>/ so the replay test keeps it"
fi
exit "$failed"
