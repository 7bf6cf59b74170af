#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, AddressSanitizer + UBSan) in
# build/fuzz and runs each of them for SECONDS (default 20), one after the
# other, under nice. The corpora grow in build/fuzz/corpus/<harness>; the
# seeds are fuzz/seeds/<harness> and, for the probe, media written by the
# tests' generator. A crashing input is kept as build/fuzz/findings/<harness>-*.
#
#   scripts/fuzz.sh [SECONDS] [HARNESS...]     e.g. scripts/fuzz.sh 600 probe
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
SECONDS_EACH=${1:-20}
shift || true
ALL=(option_text preset_file ini_file command_line probe)
HARNESSES=("$@")
[ ${#HARNESSES[@]} -gt 0 ] || HARNESSES=("${ALL[@]}")

BUILD=build/fuzz
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUVEXA_BUILD_FUZZ=ON -DQUVEXA_BUILD_TESTS=OFF -DQUVEXA_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" --target quvexa_fuzz

export ASAN_OPTIONS="detect_leaks=1:detect_odr_violation=0:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

mkdir -p "$BUILD/corpus" "$BUILD/findings" "$BUILD/logs"
PROBE_SEEDS="$BUILD/seeds/probe"
if [ ! -d "$PROBE_SEEDS" ] || [ -z "$(ls -A "$PROBE_SEEDS")" ]; then
  mkdir -p "$PROBE_SEEDS"
  "$BUILD/bin/make_probe_seeds" "$PROBE_SEEDS"
fi

failed=()
summary=()
for name in "${HARNESSES[@]}"; do
  corpus="$BUILD/corpus/$name"
  seeds="fuzz/seeds/$name"
  [ "$name" = probe ] && seeds="$PROBE_SEEDS"
  mkdir -p "$corpus"
  args=(-max_total_time="$SECONDS_EACH" -timeout=25 -rss_limit_mb=2560 -max_len=65536
        -print_final_stats=1 -artifact_prefix="$BUILD/findings/$name-")
  [ -f "fuzz/$name.dict" ] && args+=(-dict="fuzz/$name.dict")
  log="$BUILD/logs/$name.log"
  echo "== $name: ${SECONDS_EACH}s (log: $log)"
  if nice -n 10 "$BUILD/bin/${name}_fuzzer" "${args[@]}" "$corpus" "$seeds" >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed+=("$name")
    tail -n 60 "$log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  summary+=("$(printf '%-13s %-6s runs=%s corpus=%s' "$name" "$status" "${runs:-?}" "$(ls "$corpus" | wc -l)")")
done

printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]} (inputs in $BUILD/findings)" >&2
  exit 1
fi
