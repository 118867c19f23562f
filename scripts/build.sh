#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh [DIR] [cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/build"}
shift || true
launcher=()
# Rebuilds of unchanged files come from the compiler cache when there is one
# (and CCACHE_DISABLE does not turn it off: a tree then builds as on CI).
if command -v ccache >/dev/null 2>&1 && [ -z "${CCACHE_DISABLE:-}" ]; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
