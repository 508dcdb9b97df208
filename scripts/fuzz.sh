#!/usr/bin/env bash
# Builds the in-process fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each of them, one after the other.
#
#   scripts/fuzz.sh SECONDS [TARGET...]   run each target for SECONDS
#   scripts/fuzz.sh --runs N [TARGET...]  run each target for N executions
#                                         (the seed corpus included)
#
# Prints one line per target, "NAME: E execs, R execs/s, F findings", and
# exits non-zero when anything was found.  A finding (crash, sanitizer
# report, leak, hang of more than 10 s, memory over 2 GB) stops its target;
# the input is kept in build-fuzz/findings/NAME/ and libFuzzer's report in
# build-fuzz/logs/NAME.log.  To replay one:  build-fuzz/fuzz/NAME_fuzz FILE
# The seed corpora are fuzz/corpus/NAME/ in the repository.  A timed run
# keeps the inputs that the fuzzer finds interesting in build-fuzz/corpus/
# NAME/ and starts from them the next time; a run of N executions starts
# from the seeds alone.  Nothing is written into the repository.
# CE_FUZZ_BUILD names another build directory than build-fuzz, so that a
# long run can go on while the targets are changed and tried elsewhere.
# CE_FUZZ_FLAGS adds libFuzzer flags to every run: "-fork=2" runs a target
# on two processes at once (the executions counted are those of both),
# "-max_len=4096" keeps the inputs below a size.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/fuzz.sh SECONDS [TARGET...] | --runs N [TARGET...]" >&2
  exit 2
}
[ $# -ge 1 ] || usage
if [ "$1" = --runs ]; then
  [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] || usage
  limit=(-runs="$2")
  # A fixed number of runs starts from the seeds alone, so that it does
  # the same work every time.
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  shift 2
else
  [[ $1 =~ ^[0-9]+$ ]] || usage
  limit=(-max_total_time="$1")
  shift
fi

all=(registry_file menu_file plugin_definition rewrite_pass command_line device_path name_pattern)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

scripts/setup.sh fuzz
build=${CE_FUZZ_BUILD:-build-fuzz}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCE_FUZZ=ON -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/%/_fuzz}" >/dev/null

# A smaller quarantine for freed memory than the default 256 MB, and
# shorter allocation stacks: every first touch of a page is costly on a
# virtual machine, and these halve the time of a run there.  Reproduce a
# finding with the defaults for the full report.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=10}

status=0
for name in "${targets[@]}"; do
  findings=$build/findings/$name
  work=${scratch:-$build}/corpus/$name
  log=$build/logs/$name.log
  mkdir -p "$findings" "$work" "$(dirname "$log")"
  before=$(find "$findings" -type f | wc -l)
  dict=()
  [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
  start=$(date +%s.%N)
  set +e
  # shellcheck disable=SC2086  # the flags are words of their own
  "$build/fuzz/${name}_fuzz" "${limit[@]}" "${dict[@]}" ${CE_FUZZ_FLAGS:-} -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$work" "fuzz/corpus/$name" >"$log" 2>&1
  code=$?
  set -e
  end=$(date +%s.%N)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  # With -fork the processes report no totals of their own: the driver's
  # last count is the total.
  [ -n "$execs" ] || execs=$(sed -n 's/^#\([0-9]*\): .*/\1/p' "$log" | tail -n 1)
  execs=${execs:-0}
  found=$(( $(find "$findings" -type f | wc -l) - before ))
  if [ "$code" -ne 0 ] && [ "$found" -eq 0 ]; then
    found=1  # a failure that left no input behind (the target could not start)
  fi
  rate=$(awk -v e="$execs" -v s="$start" -v t="$end" 'BEGIN { printf "%d", e / (t - s) }')
  echo "$name: $execs execs, $rate execs/s, $found findings"
  if [ "$found" -ne 0 ]; then
    status=1
    echo "  see $log and $findings/" >&2
  fi
done
exit $status
