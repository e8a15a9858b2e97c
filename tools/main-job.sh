#!/usr/bin/env bash
# Builds Pontvex and starts it. With a display it starts the program (with no
# box attached it offers the simulated box); without a display it runs the
# command-line front end against the simulated box: a 27C256 written, verified
# and read back into a HEX file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/src/pontvex ]; then
  exec build/src/pontvex "$@"
fi
cli=build/src/pontvex-cli
img=$(mktemp --suffix=.bin)
out=$(mktemp --suffix=.hex)
head -c 32768 /dev/urandom >"$img"
echo "No display: the command-line front end on the simulated box."
"$cli" --simulator --chip 27C256 auto "$img"
"$cli" --simulator --chip 27C256 --socket-image "$img" read -o "$out"
echo "Read back into $out ($(wc -l <"$out") lines)."
