#!/bin/sh
# Fails when a C++ source under src, tests or tools is not as clang-format
# (with the repository's .clang-format) would write it, and names each such
# file. Checks the files git knows, including new ones not yet added.
# Usage: check-format.sh [SOURCE_DIR]; CLANG_FORMAT names another program.
# Exit status 77 (a skipped test) when there is no clang-format.
set -eu
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
program=${CLANG_FORMAT:-clang-format}
if ! command -v "$program" >/dev/null 2>&1; then
    echo "check-format: $program not found; nothing checked" >&2
    exit 77
fi
cd "$root"
list=$(mktemp)
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files --cached --others --exclude-standard -- \
        'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'tools/*.h' | sort -u >"$list"
else
    find src tests tools \( -name '*.cpp' -o -name '*.h' \) -type f | sort >"$list"
fi
# Only files that exist (a tracked file may be deleted in the working tree).
files=$(mktemp)
trap 'rm -f "$list" "$files"' EXIT
while IFS= read -r file; do
    if [ -f "$file" ]; then printf '%s\n' "$file"; fi
done <"$list" >"$files"
checked=$(wc -l <"$files")
# One run over every file; each difference is reported as "FILE:LINE:COL: error: ...".
if report=$(tr '\n' '\0' <"$files" | xargs -0 "$program" --dry-run --Werror 2>&1); then
    echo "all $checked files formatted ($("$program" --version))"
    exit 0
fi
bad=$(printf '%s\n' "$report" | sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*/\1/p' | sort -u)
if [ -z "$bad" ]; then
    printf '%s\n' "$report"
    exit 1
fi
printf '%s\n' "$bad" | sed 's/^/not formatted: /'
echo "$(printf '%s\n' "$bad" | wc -l) of $checked files are not formatted; fix with: $program -i FILE..."
exit 1
