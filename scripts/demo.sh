#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs trovix-cli.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
"$root/build/src/trovix-cli" --version
