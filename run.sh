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
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Quvexa is a desktop program and needs a graphical session (DISPLAY is not set)."
  echo "Start it from a desktop session, or under a virtual X server:"
  echo "  xvfb-run -a -s '-screen 0 1280x800x24' $BIN/quvexa"
  echo "The command-line converter needs no display: $BIN/quvexa-convert --help"
  exit 1
fi
exec "$BIN/quvexa" "$@"
