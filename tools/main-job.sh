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
work=$(mktemp -d)
head -c 32768 /dev/urandom >"$work/image.bin"
echo "No display: the command-line front end on the simulated box."
# Blank, write and verify an image into a simulated 27C256, keep the chip ...
"$cli" --simulator --chip 27C256 --socket-dump "$work/chip.bin" auto "$work/image.bin"
# ... then put that chip back in the socket and read it into a HEX file.
"$cli" --simulator --chip 27C256 --socket-image "$work/chip.bin" read -o "$work/read.hex"
"$cli" convert "$work/read.hex" "$work/read.bin"
cmp "$work/image.bin" "$work/read.bin" && echo "Read back equals the image written: $work/read.hex"
