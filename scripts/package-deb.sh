#!/usr/bin/env bash
# Builds the Debian package of Quvexa: a release build of the programs
# (no tests, no benchmarks) installed under /usr, packed by CPack into
# <build>/quvexa_<version>_<arch>.deb. Install it with
#   sudo apt install ./build/package/quvexa_*.deb
# which also installs the libraries the programs load at run time.
# Usage: scripts/package-deb.sh [build folder, default build/package]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD=${1:-build/package}
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUVEXA_SANITIZE=OFF -DQUVEXA_BUILD_TESTS=OFF -DQUVEXA_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" --parallel "$(nproc)"

# The desktop files must pass the desktop's own validators without a word.
check() {
  local out status=0
  out=$("$@" 2>&1) || status=$?
  if [ "$status" -ne 0 ] || grep -qE ': (error|warning): |^[EW]: ' <<<"$out"; then
    echo "$out" >&2
    echo "package-deb: $1 found problems" >&2
    exit 1
  fi
}
check desktop-file-validate packaging/org.quvexa.Quvexa.desktop
check appstreamcli validate --no-net "$BUILD/packaging/org.quvexa.Quvexa.metainfo.xml"

rm -f "$BUILD"/quvexa_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB=$(ls "$BUILD"/quvexa_*.deb)
echo "Built $DEB"
dpkg-deb --field "$DEB" Package Version Architecture Depends
