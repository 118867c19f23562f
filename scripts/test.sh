#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build,
# then the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the document, worker, web and command-line tests under
# ThreadSanitizer, then each fuzzer for a short, bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== build and test" >&2
# The desktop window and its widget tests are part of the run (offscreen).
"$root/scripts/build.sh" "$root/build" -DTROVIX_BUILD_UI=ON
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

if [ -x "$root/build/tests/trovix-screenshots" ]; then
  echo "== desktop screenshots under Xvfb (build/screenshots)" >&2
  xvfb-run -a -s "-screen 0 1400x1000x24" "$root/build/tests/trovix-screenshots" "$root/build/screenshots"
fi

echo "== sanitizer build and test" >&2
"$root/scripts/build.sh" "$root/build-asan" -DTROVIX_SANITIZE=ON -DTROVIX_BUILD_UI=OFF
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs"

echo "== thread sanitizer build and test" >&2
# Every core, command-line and widget test, in a tree of their own with only
# the targets they need. Left out: the install check and the desktop-file
# and file-manager checks (nothing threaded, and their targets are not
# built here), and process control on a private bus, whose D-Bus library is
# not built for the sanitizer. Each test runs in its own process (ctest runs
# them so); the command-line tests fork after threads exist.
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DTROVIX_TSAN=ON -DTROVIX_BUILD_UI=ON >/dev/null
cmake --build "$root/build-tsan" -j "$jobs" --target trovix_tests trovix-cli trovix_ui_tests
TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 second_deadlock_stack=1 suppressions=$root/tests/tsan/qt.supp" \
  ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs" \
  -E '^(InstallAndPackage|DesktopFilesValidate|ProcessControlOnPrivateBus|NautilusExtension)$'

if ls "$root"/fuzz/*_fuzz.cpp >/dev/null 2>&1; then
  echo "== fuzzers" >&2
  CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DTROVIX_FUZZ=ON -DTROVIX_BUILD_UI=OFF -DBUILD_TESTING=OFF
  for f in "$root"/fuzz/*_fuzz.cpp; do
    name=$(basename "$f" .cpp)
    corpus="$root/fuzz/corpus/$name"
    work=$(mktemp -d)
    [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
    ASAN_OPTIONS=detect_leaks=0 "$root/build-fuzz/fuzz/$name" -max_total_time=60 -rss_limit_mb=2048 "$work" 2>&1 | tail -n 3
    rm -rf "$work"
  done
fi
