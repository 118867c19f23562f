#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build,
# then the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the document, worker, web and command-line tests under
# ThreadSanitizer, then each fuzzer for a short, bounded time.
#
# Kept short for a 2-core machine with no compiler cache: each tree builds
# only what its tests run, with precompiled headers (cmake/Precompiled.cmake),
# its sources compiled eight to a unit (TROVIX_UNITY) and line tables for
# debug information, which is all a sanitizer report or
# a backtrace needs; the AddressSanitizer tree is built by clang, which
# compiles it in two thirds of GCC's time and whose UndefinedBehaviorSanitizer
# checks more (an enum loaded out of its range), and it builds the fuzzers
# too, so that they cost no build of their own; the ThreadSanitizer tree is
# optimised at -O1, which GCC compiles a fifth faster than -O2; tests, which
# mostly wait, run several per core; the fuzzers run side by side.
#   TROVIX_FUZZ_SECONDS   how long each fuzzer runs (default 30)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
# Timers, child processes and loopback servers keep most tests waiting.
test_jobs=$((jobs * 3))
launcher=()
if command -v ccache >/dev/null 2>&1 && [ -z "${CCACHE_DISABLE:-}" ]; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
stage() { echo "== $1 (at ${SECONDS} s)" >&2; }
# configure DIR LEVEL OPTIONS...: a tree configured as scripts/build.sh does,
# optimised at LEVEL (O1 or O2), linked by lld, which links the test
# programs in a fifth of the time of the system's linker.
configure() {
  local dir=$1 level=$2
  shift 2
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-$level -g1 -DNDEBUG" \
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-$level -g1 -DNDEBUG" \
    -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld \
    -DCMAKE_MODULE_LINKER_FLAGS=-fuse-ld=lld "$@" >/dev/null
}

stage "build and test"
# The desktop window and its widget tests are part of the run (offscreen),
# and the benches are built so that they keep building.
configure "$root/build" O2 -DTROVIX_BUILD_UI=ON
cmake --build "$root/build" -j "$jobs"
ctest --test-dir "$root/build" --output-on-failure -j "$test_jobs"

if [ -x "$root/build/tests/trovix-screenshots" ]; then
  stage "desktop screenshots under Xvfb (build/screenshots)"
  xvfb-run -a -s "-screen 0 1400x1000x24" "$root/build/tests/trovix-screenshots" "$root/build/screenshots"
fi

stage "sanitizer build and test"
# With the fuzzers: every object carries their coverage, which the tests
# run past at little cost.
CC=clang CXX=clang++ configure "$root/build-asan" O2 -DTROVIX_SANITIZE=ON -DTROVIX_FUZZ=ON \
  -DTROVIX_BUILD_UI=OFF -DTROVIX_BUILD_BENCHES=OFF
cmake --build "$root/build-asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$test_jobs"

stage "thread sanitizer build and test"
# Every core, command-line and widget test, in a tree of their own with only
# the targets they need. Left out: the install check and the desktop-file
# and file-manager checks (nothing threaded, and their targets are not
# built here), and process control on a private bus, whose D-Bus library is
# not built for the sanitizer. Each test runs in its own process (ctest runs
# them so); the command-line tests fork after threads exist.
configure "$root/build-tsan" O1 -DTROVIX_TSAN=ON -DTROVIX_BUILD_UI=ON -DTROVIX_BUILD_BENCHES=OFF
cmake --build "$root/build-tsan" -j "$jobs" --target trovix_tests trovix-cli trovix_ui_tests
# These compute under the sanitizer, but some of them wait on child
# processes and timers: three for every two cores (on 2 cores 207 s against
# 259 s for one per core).
TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 second_deadlock_stack=1 suppressions=$root/tests/tsan/qt.supp" \
  ctest --test-dir "$root/build-tsan" --output-on-failure -j "$((jobs * 3 / 2))" \
  -E '^(InstallAndPackage|DesktopFilesValidate|ProcessControlOnPrivateBus|NautilusExtension)$'

if ls "$root"/fuzz/*_fuzz.cpp >/dev/null 2>&1; then
  stage "fuzzers"
  seconds=${TROVIX_FUZZ_SECONDS:-30}
  results=$(mktemp -d)
  # fuzz NAME: runs one fuzzer on a copy of its corpus and notes how it
  # ended; prints the end of its report, more of it when it found something.
  fuzz() {
    local name=$1 work status=0
    work=$(mktemp -d)
    [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name"/. "$work"/
    ASAN_OPTIONS=detect_leaks=0 "$root/build-asan/fuzz/$name" -max_total_time="$seconds" \
      -rss_limit_mb=2048 "$work" >"$work.log" 2>&1 || status=$?
    # One write, so that the two reports do not interleave.
    printf '%s\n' "-- $name" "$(tail -n "$([ "$status" = 0 ] && echo 3 || echo 60)" "$work.log")"
    echo "$status" >"$results/$name"
    rm -rf "$work" "$work.log"
  }
  for f in "$root"/fuzz/*_fuzz.cpp; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    fuzz "$(basename "$f" .cpp)" &
  done
  wait
  failed=$(grep -Lx 0 "$results"/* || true)
  rm -rf "$results"
  if [ -n "$failed" ]; then
    echo "fuzzers that found something: $(basename -a $failed | tr '\n' ' ')" >&2
    exit 1
  fi
fi
stage "done"
