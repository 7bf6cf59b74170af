#!/usr/bin/env bash
# Installs what the build and the tests need, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test with CTest; then a short
# run of every fuzzing harness (QUVEXA_FUZZ_SECONDS each, default 20; 0 skips).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
BUILD=build/sanitize
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUVEXA_SANITIZE=ON >/dev/null
cmake --build "$BUILD"
export QT_QPA_PLATFORM=offscreen SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
(cd "$BUILD" && ctest --output-on-failure -j "$(nproc)" "$@")
FUZZ_SECONDS=${QUVEXA_FUZZ_SECONDS:-20}
if [ "$FUZZ_SECONDS" -gt 0 ]; then
  scripts/fuzz.sh "$FUZZ_SECONDS"
fi
