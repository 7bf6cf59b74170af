#!/usr/bin/env bash
# Installs every package the program needs, builds a release build and starts
# the program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
BUILD=build/release
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUVEXA_BUILD_TESTS=OFF -DQUVEXA_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD"
BIN="$BUILD/bin"
if [ -x "$BIN/quvexa" ]; then
  exec "$BIN/quvexa" "$@"
fi
echo "Built programs in $BIN:"
ls -1 "$BIN" | sed 's/^/  /'
echo "The main window is not built yet. Convert from the command line with"
echo "  $BIN/quvexa-convert --help"
echo "Run the tests with ./test.sh"
