#!/bin/sh
# Runs every libFuzzer program of a fuzz build for a bounded time and fails on
# any finding. Usage: run-fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET] [TARGET...]
#
# The seed corpus is written fresh by vantrel-fuzz-seeds; inputs the fuzzer
# finds interesting are kept in BUILD_DIR/fuzz-work/corpus/<target> for later
# runs. A finding (crash, sanitizer report, leak, timeout, out-of-memory) is
# saved under tests/fuzz/regressions/<target>/, where the normal test run
# replays it (fuzz_tests) once it is fixed.
set -u

build=${1:?usage: run-fuzzers.sh BUILD_DIR [SECONDS] [TARGET...]}
seconds=${2:-60}
[ $# -ge 2 ] && shift 2 || shift $#
targets=${*:-"movie_database difference_record media_sources command_line console_menus"}

here=$(cd "$(dirname "$0")" && pwd)
work="$build/fuzz-work"
mkdir -p "$work/seeds" "$work/logs"
rm -rf "$work/seeds"/*
"$build/tests/fuzz/vantrel-fuzz-seeds" "$work/seeds" >/dev/null || {
  echo "fuzz: could not write the seed corpus" >&2
  exit 1
}

failed=""
total=0
summary=""
for target in $targets; do
  program="$build/tests/fuzz/fuzz_$target"
  if [ ! -x "$program" ]; then
    echo "fuzz: $program is missing (build the fuzz_programs target)" >&2
    exit 1
  fi
  corpus="$work/corpus/$target"
  findings="$here/regressions/$target"
  log="$work/logs/$target.log"
  mkdir -p "$corpus" "$findings"
  echo "fuzz: $target for $seconds s"
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:symbolize=1" \
  UBSAN_OPTIONS="print_stacktrace=1" \
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 \
      -print_final_stats=1 -artifact_prefix="$findings/" \
      "$corpus" "$work/seeds/$target" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  runs=${runs:-0}
  total=$((total + runs))
  if [ "$status" -ne 0 ]; then
    failed="$failed $target"
    verdict="FINDING"
    echo "fuzz: $target found a fault; the input is in $findings/. Log tail:" >&2
    tail -n 40 "$log" >&2
  else
    verdict="ok"
  fi
  summary="$summary$(printf '%-20s %12s executions %8s/s  %s' "$target" "$runs" "${rate:-0}" "$verdict")
"
done

echo
echo "fuzz summary ($seconds s per target):"
printf '%s' "$summary"
echo "total                $total executions"
count=$(echo $targets | wc -w)
bad=$(echo $failed | wc -w)
echo "fuzz: $((count - bad)) passed, $bad failed"
if [ -n "$failed" ]; then
  echo "fuzz: findings in:$failed" >&2
  exit 1
fi
