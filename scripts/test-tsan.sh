#!/usr/bin/env bash
# The document, worker, web and command-line tests under ThreadSanitizer, in
# a build tree of their own (build-tsan). Not yet part of scripts/test.sh:
# the workers still change document records the window reads.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# Only the core, the test program and the command line: the widget tests stay
# under the normal run, since Qt Widgets is not built for the sanitizer.
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DTROVIX_TSAN=ON -DTROVIX_BUILD_UI=OFF >/dev/null
cmake --build "$root/build-tsan" -j "$jobs" --target trovix_tests trovix-cli
# Each test in its own process (ctest runs them so); the command-line tests
# fork after threads exist.
TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$root/tests/tsan/qt.supp" \
  ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs" \
  -R '^(FolderDocument|FolderSave|FolderLookup[A-Za-z]*|FileTagDocumentTest|SaveBackup|BusyState|FolderOddFiles|TypingMonitor|RenameJournal|GrabWebPageTest|WebThrottleTest|Cli[A-Za-z]*)\.'

