#!/bin/sh
# Runs every libFuzzer target of a build for a few seconds each, one after the
# other, starting from the seed inputs beside this script. Exit status is
# non-zero when a target finds a crash (the reproducer is left in the build).
# Usage: run-short.sh BUILD_DIR SECONDS
set -eu
build=${1:?usage: run-short.sh BUILD_DIR SECONDS}
seconds=${2:?usage: run-short.sh BUILD_DIR SECONDS}
here=$(cd "$(dirname "$0")" && pwd)
found=0
status=0
for target in "$build"/tools/fuzz_*; do
    [ -x "$target" ] || continue
    found=1
    name=$(basename "$target")
    work="$build/fuzz-work/$name"
    mkdir -p "$work/corpus" "$work/artifacts"
    if [ -d "$here/seeds/$name" ]; then
        cp -n "$here/seeds/$name"/* "$work/corpus/" 2>/dev/null || true
    fi
    echo "== $name: $seconds s"
    if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1; then
        status=1
        echo "!! $name failed; see $work/log and $work/artifacts/"
        tail -n 30 "$work/log"
    else
        grep -E '^stat::number_of_executed_units' "$work/log" || true
    fi
done
if [ "$found" = 0 ]; then
    echo "no fuzz targets in $build/tools (configure with -DPONTVEX_FUZZ=ON)" >&2
    exit 1
fi
exit $status
