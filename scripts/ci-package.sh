#!/usr/bin/env bash
# CI step for the Debian package: builds it (scripts/package-deb.sh),
# installs it on this machine with apt (which pulls in what it declares),
# checks the installed files and converts generated clips with the
# installed quvexa-convert from another folder, then removes the package.
# Runs as root (CI does).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=build/package
[ "$(id -u)" -eq 0 ] || { echo "ci-package: needs root (dpkg)" >&2; exit 1; }

scripts/package-deb.sh "$BUILD"
DEB=$(ls "$ROOT/$BUILD"/quvexa_*.deb)

WORK=$(mktemp -d /tmp/quvexa-ci-package.XXXXXX)
cleanup() {
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quvexa >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
  echo "ci-package: $*" >&2
  exit 1
}
# check WHAT COMMAND...: runs the command; a failure ends the run with WHAT.
passed=0
check() {
  local what=$1
  shift
  "$@" || fail "failed: $what"
  passed=$((passed + 1))
}

# A copy left by an earlier run of the same version would not be replaced.
if dpkg-query -W quvexa >/dev/null 2>&1; then dpkg --purge quvexa >/dev/null; fi
install_package() { DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$DEB" >/dev/null; }
# The package lists may be missing or old on a fresh machine.
install_package || { apt-get update -qq && install_package; }
dpkg-query -W -f='Installed ${Package} ${Version}\n' quvexa

# Installed layout, manual page and completion.
for f in /usr/bin/quvexa-convert /usr/share/man/man1/quvexa-convert.1.gz \
  /usr/share/bash-completion/completions/quvexa-convert; do
  check "$f is installed" test -f "$f"
done
check "/usr/share/quvexa exists" test -d /usr/share/quvexa
check "the completion loads" bash -c \
  'source /usr/share/bash-completion/completions/quvexa-convert && complete -p quvexa-convert >/dev/null'
check "the manual page documents --list-types" grep -qF -- '\-\-list\-types' \
  <<<"$(zcat /usr/share/man/man1/quvexa-convert.1.gz)"

# Sets the variable named $1 to the byte $2 repeated $3 times (never 0:
# shell strings cannot hold it).
repeat_byte() {
  local -n _out=$1
  printf -v _out "\\$(printf '%03o' "$2")"
  while ((${#_out} < $3)); do _out+=$_out; done
  _out=${_out:0:$3}
}
# A 2 s 160x120 clip in the YUV4MPEG2 format, the shade changing every
# five frames so that the encoder sees moving pictures.
write_y4m() {
  local LC_ALL=C file=$1 w=160 h=120 f y u v
  {
    printf 'YUV4MPEG2 W%d H%d F25:1 Ip A1:1 C420jpeg\n' "$w" "$h"
    for ((f = 0; f < 50; f++)); do
      if ((f % 5 == 0)); then
        repeat_byte y $((40 + f * 3)) $((w * h))
        repeat_byte u $((100 + f)) $((w * h / 4))
        repeat_byte v $((160 - f)) $((w * h / 4))
      fi
      printf 'FRAME\n%s%s%s' "$y" "$u" "$v"
    done
  } >"$file"
}
# 2 s of a 200 Hz square wave, 16-bit mono at 8 kHz, in a WAV file.
write_wav() {
  local LC_ALL=C file=$1 rate=8000 samples=16000 high low data
  le32() {
    local b
    for b in 0 8 16 24; do printf "\\$(printf '%03o' $((($1 >> b) & 255)))"; done
  }
  repeat_byte high 32 40
  repeat_byte low 224 40
  data=$high$low
  while ((${#data} < samples * 2)); do data+=$data; done
  {
    printf 'RIFF'; le32 $((36 + samples * 2)); printf 'WAVEfmt '
    le32 16; printf '\x01\x00\x01\x00'; le32 $rate; le32 $((rate * 2)); printf '\x02\x00\x10\x00'
    printf 'data'; le32 $((samples * 2))
    printf '%s' "${data:0:samples * 2}"
  } >"$file"
}

# Converts from a folder of its own, with a home of its own, as a user
# who just installed the package would.
cd "$WORK"
export HOME="$WORK/home"
mkdir -p "$HOME"
check "quvexa-convert is found as /usr/bin/quvexa-convert" test "$(command -v quvexa-convert)" = /usr/bin/quvexa-convert
types=$(quvexa-convert --list-types)
echo "quvexa-convert --list-types: $(wc -l <<<"$types") output types"
check "--list-types lists the catalogue" test "$(wc -l <<<"$types")" -ge 50

write_y4m clip.y4m
write_wav tone.wav
check "a video conversion" quvexa-convert -t 500 -o out clip.y4m
check "an audio conversion" quvexa-convert -t 200 -o out tone.wav
check "out/clip.mp4 holds MPEG-4 video" grep -q 'Video: mpeg4' <<<"$(quvexa-convert --info out/clip.mp4)"
check "out/tone.mp3 holds MP3 audio" grep -q 'Audio: mp3' <<<"$(quvexa-convert --info out/tone.mp3)"

# The window program, when this tree builds one: its desktop entry starts
# it under Xvfb, and it stays up until stopped.
ENTRY=/usr/share/applications/org.quvexa.Quvexa.desktop
if [ -x /usr/bin/quvexa ]; then
  check "$ENTRY is installed and valid" desktop-file-validate "$ENTRY"
  exec_line=$(sed -n 's/^Exec=//p' "$ENTRY")
  status=0
  xvfb-run -a timeout 10 "${exec_line%% *}" >"$WORK/window.log" 2>&1 || status=$?
  [ "$status" -eq 124 ] || cat "$WORK/window.log" >&2
  check "quvexa started from its desktop entry runs until stopped (status $status)" test "$status" -eq 124
fi
for f in system.ini update.ini; do
  check "nothing writes /usr/bin/$f" test ! -e "/usr/bin/$f"
done

cd "$ROOT"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quvexa >/dev/null
check "removing the package removes the programs" test ! -e /usr/bin/quvexa-convert
echo "ci-package: $passed passed, 0 failed"
