#!/usr/bin/env bash
# Installs what the build and the tests need, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test with CTest. Then builds the
# test programs of the threaded subsystems with ThreadSanitizer and runs them,
# and ends with a short run of every fuzzing harness (QUVEXA_FUZZ_SECONDS each,
# default 20; 0 skips).
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
scripts/install-deps.sh
BUILD=build/sanitize
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUVEXA_SANITIZE=ON >/dev/null
cmake --build "$BUILD"
export QT_QPA_PLATFORM=offscreen SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
(cd "$BUILD" && ctest --output-on-failure -j "$(nproc)" "$@")

# ThreadSanitizer: only the subsystems with threads of their own (a player
# test program is picked up once tests/player holds tests). Each program's
# tests carry its folder as CTest label. The uninstrumented media libraries'
# own memory accesses are not checked (see tests/tsan.supp).
TSAN_BUILD=build/tsan
cmake -S . -B "$TSAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUVEXA_TSAN=ON >/dev/null
programs=()
labels=()
for folder in platform media engine player; do
  if compgen -G "$ROOT/tests/$folder/*.cpp" >/dev/null; then
    programs+=("test_$folder")
    labels+=("$folder")
  fi
done
cmake --build "$TSAN_BUILD" --target "${programs[@]}"
label_regex="^($(IFS='|'; echo "${labels[*]}"))\$"
export TSAN_OPTIONS="suppressions=$ROOT/tests/tsan.supp:ignore_noninstrumented_modules=1:second_deadlock_stack=1"
(cd "$TSAN_BUILD" && ctest --output-on-failure -j "$(nproc)" -L "$label_regex")

FUZZ_SECONDS=${QUVEXA_FUZZ_SECONDS:-20}
if [ "$FUZZ_SECONDS" -gt 0 ]; then
  scripts/fuzz.sh "$FUZZ_SECONDS"
fi
