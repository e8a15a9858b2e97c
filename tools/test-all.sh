#!/usr/bin/env bash
# Builds and runs every test: the normal build, the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, and a short run of each fuzz
# target. Prints CTest's summary line of each run and a closing total.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash tools/setup-debian.sh || exit 1

export QT_QPA_PLATFORM=offscreen
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/pontvex-ccache}"
jobs=$(nproc)
status=0
summary=""

run_suite() { # name builddir cmake-args...
  local name=$1 dir=$2
  shift 2
  echo "=== $name: configure and build"
  cmake -S "$root" -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; status=1; return; }
  if ! cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1; then
    tail -60 "$dir.build.log"
    echo "$name: build failed"
    status=1
    return
  fi
  echo "=== $name: tests"
  local out
  out=$(cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600 2>&1)
  local rc=$?
  echo "$out" | tail -40
  local line
  line=$(echo "$out" | grep -E '^[0-9]+% tests passed' | tail -1)
  summary+="$name: $line"$'\n'
  [ $rc -eq 0 ] || status=1
  local passed failed total
  total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  failed=$(echo "$line" | sed -E 's/.*, ([0-9]+) tests failed.*/\1/')
  if [[ "$total" =~ ^[0-9]+$ && "$failed" =~ ^[0-9]+$ ]]; then
    passed=$((total - failed))
    all_passed=$((${all_passed:-0} + passed))
    all_failed=$((${all_failed:-0} + failed))
  fi
}

mkdir -p "$root/build-ci"
run_suite "main" "$root/build-ci/main" -DCMAKE_BUILD_TYPE=RelWithDebInfo

ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$root/tools/lsan.supp" \
  run_suite "sanitizers" "$root/build-ci/asan" -DCMAKE_BUILD_TYPE=Debug -DPONTVEX_SANITIZE=ON

if [ -x tools/fuzz/run-short.sh ] && ls tools/fuzz/*.cpp >/dev/null 2>&1; then
  echo "=== fuzz: short runs"
  if cmake -S "$root" -B "$root/build-ci/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPONTVEX_FUZZ=ON \
       -DPONTVEX_GUI=OFF -DCMAKE_CXX_COMPILER=clang++ >"$root/build-ci/fuzz.configure.log" 2>&1 &&
     cmake --build "$root/build-ci/fuzz" -j "$jobs" --target fuzz_targets >"$root/build-ci/fuzz.build.log" 2>&1; then
    if bash tools/fuzz/run-short.sh "$root/build-ci/fuzz" 20; then
      summary+="fuzz: all targets ran clean"$'\n'
    else
      summary+="fuzz: FAILED"$'\n'
      status=1
    fi
  else
    tail -40 "$root/build-ci/fuzz.build.log" 2>/dev/null || cat "$root/build-ci/fuzz.configure.log"
    summary+="fuzz: build failed"$'\n'
    status=1
  fi
fi

echo "=== summary"
printf '%s' "$summary"
echo "${all_passed:-0} passed, ${all_failed:-0} failed"
exit $status
